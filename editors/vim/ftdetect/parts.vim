" A parts source of partsc, whatever its name: its first line that begins
" with $$ begins with $$PARTS. A file with no such line yet (new or empty)
" is one when it is empty and lies in a library folder: a folder with
" ORVA.SET, or, for a name ending in .src, a folder below one (the settings
" file and a control file are no sources). The filetype is looked at again
" when the file is written.
function! s:InLibrary() abort
  if line('$') > 1 || getline(1) !=# '' || expand('<afile>:t') =~# '\v^ORVA\.SET$|\.[Cc][Tt][Ll]$'
    return 0
  endif
  let dir = expand('<afile>:p:h')
  if filereadable(dir . '/ORVA.SET')
    return 1
  endif
  return expand('<afile>') =~? '\.src$' && !empty(findfile('ORVA.SET', fnameescape(dir) . ';'))
endfunction

function! s:PartsDetect() abort
  if &filetype !=# '' && &filetype !=# 'parts'
    return
  endif
  for lnum in range(1, min([line('$'), 500]))
    let line = getline(lnum)
    if line =~# '^\$\$'
      if line =~# '^\$\$PARTS'
        setlocal filetype=parts
      endif
      return
    endif
  endfor
  if s:InLibrary()
    setlocal filetype=parts
  endif
endfunction

autocmd BufNewFile,BufRead,BufWritePost * call s:PartsDetect()
