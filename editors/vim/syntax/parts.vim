" Vim syntax file
" Language:     parts sources of partsc (partsc(5))
"
" The language server (partsc --lsp) highlights by the compiler's own
" reading of each line; this file is the reading a regular expression can
" give: keyword lines, view lines, macro and member lines, comment lines,
" fields and value lists, macros in parameter texts. A line is read in pieces
" of 79 bytes, so what stands beyond the 79th byte is marked (a tab is one).

if exists('b:current_syntax')
  finish
endif

syntax case match

syntax match partsComment      /^\/.*$/ contains=partsBeyondPiece
syntax match partsKeyword      /^\$\$\(PARTS\|SPEC\|APG\|COMMON\|TITLE\|LSORT\|CSORT\|NSORT\|SIZE\|END\)/
syntax match partsUnknown      /^\$\$\(PARTS\|SPEC\|APG\|COMMON\|TITLE\|LSORT\|CSORT\|NSORT\|SIZE\|END\)\@!\S*/
syntax match partsView         /^\$\(TOP\|BOTTOM\|FRONT\|BACK\|LEFT\|RIGHT\)/
syntax match partsLineKind     /^[tsp]/
syntax region partsText        start=/"/ end=/"/ end=/$/ oneline contains=partsBeyondPiece
syntax region partsName        start=/!/ end=/!/ end=/$/ oneline contains=partsBeyondPiece
syntax region partsParamText   matchgroup=partsDelimiter start=/(/ end=/)/ end=/$/ oneline
      \ contains=partsMacro,partsParamNested,partsBeyondPiece
syntax region partsParamNested start=/(/ end=/)/ end=/$/ oneline contained
      \ contains=partsMacro,partsParamNested,partsBeyondPiece
syntax match partsMacro        /{[^}]*}\?/ contained
syntax region partsList        matchgroup=partsDelimiter start=/[<[]/ end=/[>\]]/ end=/$/ oneline
      \ contains=partsNumber,partsBeyondPiece
syntax match partsNumber       /[-+]\?\(\d\+\.\?\d*\|\.\d\+\)\([eE][-+]\?\d\+\)\?/ contained
syntax match partsBeyondPiece  /\%>79c./ contained
syntax match partsBeyondPiece  /\%>79c./

highlight default link partsComment     Comment
highlight default link partsKeyword     Keyword
highlight default link partsUnknown     Error
highlight default link partsView        Type
highlight default link partsLineKind    Statement
highlight default link partsText        String
highlight default link partsName        Identifier
highlight default link partsParamText   String
highlight default link partsParamNested String
highlight default link partsMacro       PreProc
highlight default link partsDelimiter   Delimiter
highlight default link partsList        Normal
highlight default link partsNumber      Number
highlight default link partsBeyondPiece Underlined

let b:current_syntax = 'parts'
