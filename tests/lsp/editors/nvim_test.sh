#!/usr/bin/env bash
# Neovim, headless, with its built-in client set up by the editors page's
# snippet taken verbatim: opens a source with three mistakes through
# partsc --lsp and checks the diagnostics, hovers, the keys gd and gr, a
# completion list, one server per library, and that the package's editor
# files give sources, new ones too, their filetype and syntax. Skips (77)
# only when Neovim is missing.
#   nvim_test.sh PARTSC SOURCE_DIR
set -euo pipefail
partsc=$1
root=$2
command -v nvim >/dev/null 2>&1 || { echo "nvim_test: Neovim is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A name that says nothing: the filetype comes from the first keyword line.
cp "$root/tests/lsp/editors/bolt.src" "$work/BOLT"
cp "$root/tests/lsp/editors/bolt.src" "$work/BOLT2"
mkdir -p "$work/bin" "$work/lib/src"
: >"$work/lib/ORVA.SET"
# The snippet runs "partsc" from the PATH.
ln -s "$(cd "$(dirname "$partsc")" && pwd)/$(basename "$partsc")" "$work/bin/partsc"
# The page's first lua block.
awk '/^```lua$/ { c++; on = c == 1; next } /^```$/ { on = 0 } on' "$root/docs/editors.md" \
  >"$work/snippet.lua"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export PATH=$work/bin:$PATH PARTSC_SOURCE=$work/BOLT PARTSC_OUT=$work/received.txt
export PARTSC_NEW_IN_LIBRARY=$work/lib/src/new.src PARTSC_NEW=$work/NEW

status=0
timeout 60 nvim --headless --clean \
  --cmd "set runtimepath^=$root/editors/vim" \
  --cmd 'filetype plugin on' --cmd 'syntax on' --cmd "luafile $work/snippet.lua" \
  -c "luafile $root/tests/lsp/editors/nvim_client.lua" </dev/null >"$work/nvim.log" 2>&1 ||
  status=$?
cat "$work/received.txt" 2>/dev/null || true
if [ $status -ne 0 ]; then
  echo "nvim_test: Neovim ended with $status" >&2
  cat "$work/nvim.log" >&2
  exit 1
fi
diff -u "$root/tests/lsp/editors/expected-nvim.txt" "$work/received.txt"
