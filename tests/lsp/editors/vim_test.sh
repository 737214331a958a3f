#!/usr/bin/env bash
# Vim with the package's editor files, installed under a prefix and found
# through the editors page's vimrc for /usr/local taken verbatim (the
# prefix moved): a source named without an extension gets the filetype parts
# from its first keyword line, new and empty files in a library folder get
# it, and the syntax file names what stands at a few places. Skips (77) only
# when Vim is missing.
#   vim_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
root=$1
build=$2
command -v vim >/dev/null 2>&1 || { echo "vim_test: Vim is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/usr/local" >/dev/null
awk '/^```vim$/ { on = 1; next } /^```$/ { on = 0 } on' "$root/docs/editors.md" |
  sed "s|/usr/local|$work/usr/local|" >"$work/vimrc"
{
  printf '/ before the first keyword line\n'
  cat "$root/tests/lsp/editors/bolt.src"
  printf '/ %s|beyond\n' "$(printf '%077d' 0 | tr 0 .)"
  # A tab is one byte: the cut stays at byte 79.
  printf '/\t%s|beyond\n' "$(printf '%077d' 0 | tr 0 .)"
} >"$work/BOLT"
printf 'notparts\n$$SIZE "A"\n$$PARTS !a!\n' >"$work/OTHER"
# A library folder: new and empty files in it are parts sources.
mkdir -p "$work/lib/src"
: >"$work/lib/ORVA.SET"
: >"$work/lib/EMPTY"

# Line:column of the places asked about, and what each is.
places="1:1 2:2 2:10 2:17 2:23 5:2 6:2 8:1 9:9 12:79 12:81 13:79 13:80"
cat >"$work/facts.vim" <<EOF
silent e $work/OTHER
redir! > $work/received.txt
echo "OTHER filetype" &filetype
silent e $work/BOLT
echo "BOLT filetype" &filetype b:current_syntax
for p in split('$places') | let [l, c] = split(p, ':') | echo p synIDattr(synID(l, c, 1), 'name') | endfor
silent e $work/lib/EMPTY
echo "EMPTY filetype" &filetype
silent e $work/lib/src/new.src
echo "new.src filetype" &filetype
silent e $work/NEW
echo "NEW filetype" &filetype
call setline(1, '\$\$PARTS !new!')
silent w
echo "NEW written filetype" &filetype
redir END
qa!
EOF
HOME=$work vim -u "$work/vimrc" -N -es -S "$work/facts.vim" </dev/null
# Without the blank lines, carriage returns and file messages of :redir.
tr -d '\r' <"$work/received.txt" | sed -e '/^$/d' -e '/^"/d' -e '$a\' >"$work/facts.txt"
diff -u "$root/tests/lsp/editors/expected-vim.txt" "$work/facts.txt"
