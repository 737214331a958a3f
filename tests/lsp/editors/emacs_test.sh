#!/usr/bin/env bash
# Emacs in batch mode with eglot: opens a source with three mistakes, which
# the package's parts-mode recognises by its content, through partsc --lsp,
# and checks the diagnostics flymake shows. Skips (77) only when Emacs or
# eglot is missing.
#   emacs_test.sh PARTSC SOURCE_DIR
set -euo pipefail
partsc=$1
root=$2
command -v emacs >/dev/null 2>&1 || { echo "emacs_test: Emacs is not installed"; exit 77; }
emacs --batch --eval '(require (quote eglot))' >/dev/null 2>&1 ||
  { echo "emacs_test: eglot is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/tests/lsp/editors/bolt.src" "$work/BOLT"
export HOME=$work PARTSC=$partsc PARTSC_SOURCE=$work/BOLT PARTSC_OUT=$work/received.txt

status=0
timeout 60 emacs --batch -L "$root/editors/emacs" \
  -l "$root/tests/lsp/editors/eglot_client.el" </dev/null >"$work/emacs.log" 2>&1 || status=$?
cat "$work/received.txt" 2>/dev/null || true
if [ $status -ne 0 ]; then
  echo "emacs_test: Emacs ended with $status" >&2
  cat "$work/emacs.log" >&2
  exit 1
fi
diff -u "$root/tests/lsp/editors/expected-emacs.txt" "$work/received.txt"
