#!/usr/bin/env bash
# Neovim, headless, with its built-in client: opens a source with three
# mistakes through partsc --lsp and checks the diagnostics, a hover and a
# completion list it received, and that the package's editor files give the
# source its filetype and syntax. Skips (77) only when Neovim is missing.
#   nvim_test.sh PARTSC SOURCE_DIR
set -euo pipefail
partsc=$1
root=$2
command -v nvim >/dev/null 2>&1 || { echo "nvim_test: Neovim is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A name that says nothing: the filetype comes from the first keyword line.
cp "$root/tests/lsp/editors/bolt.src" "$work/BOLT"
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export PARTSC=$partsc PARTSC_SOURCE=$work/BOLT PARTSC_OUT=$work/received.txt

status=0
timeout 60 nvim --headless --clean \
  --cmd "set runtimepath^=$root/editors/vim" \
  --cmd 'filetype plugin on' --cmd 'syntax on' \
  -c "luafile $root/tests/lsp/editors/nvim_client.lua" </dev/null >"$work/nvim.log" 2>&1 ||
  status=$?
cat "$work/received.txt" 2>/dev/null || true
if [ $status -ne 0 ]; then
  echo "nvim_test: Neovim ended with $status" >&2
  cat "$work/nvim.log" >&2
  exit 1
fi
diff -u "$root/tests/lsp/editors/expected-nvim.txt" "$work/received.txt"
