" A parts source of partsc, whatever its name: its first line that begins
" with $$ begins with $$PARTS.
function! s:PartsDetect() abort
  for lnum in range(1, min([line('$'), 500]))
    let line = getline(lnum)
    if line =~# '^\$\$'
      if line =~# '^\$\$PARTS'
        setfiletype parts
      endif
      return
    endif
  endfor
endfunction

autocmd BufNewFile,BufRead * call s:PartsDetect()
