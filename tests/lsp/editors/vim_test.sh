#!/usr/bin/env bash
# Vim with the package's editor files: a source named without an extension
# gets the filetype parts from its first keyword line, and the syntax file
# names what stands at a few places. Skips (77) only when Vim is missing.
#   vim_test.sh SOURCE_DIR
set -euo pipefail
root=$1
command -v vim >/dev/null 2>&1 || { echo "vim_test: Vim is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  printf '/ before the first keyword line\n'
  cat "$root/tests/lsp/editors/bolt.src"
  printf '/ %s|beyond\n' "$(printf '%077d' 0 | tr 0 .)"
} >"$work/BOLT"
printf 'notparts\n$$SIZE "A"\n$$PARTS !a!\n' >"$work/OTHER"

# Line:column of the places asked about, and what each is.
places="1:1 2:2 2:10 2:17 2:23 5:2 6:2 8:1 9:9 12:79 12:81"
HOME=$work vim -u NONE -N -es --cmd "set runtimepath^=$root/editors/vim" \
  -c 'filetype on' -c 'syntax on' \
  -c "silent e $work/OTHER" -c "redir! > $work/received.txt" -c 'echo "OTHER filetype" &filetype' \
  -c "silent e $work/BOLT" -c 'echo "BOLT filetype" &filetype b:current_syntax' \
  -c "for p in split('$places') | let [l, c] = split(p, ':') | echo p synIDattr(synID(l, c, 1), 'name') | endfor" \
  -c 'redir END' -c 'qa!' </dev/null
# Without the blank lines, carriage returns and file messages of :redir.
tr -d '\r' <"$work/received.txt" | sed -e '/^$/d' -e '/^"/d' -e '$a\' >"$work/facts.txt"
diff -u "$root/tests/lsp/editors/expected-vim.txt" "$work/facts.txt"
