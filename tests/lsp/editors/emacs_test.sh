#!/usr/bin/env bash
# Emacs in batch mode with eglot, set up by the snippets of the editors page
# taken verbatim (the settings file's path put in): opens a source with three
# mistakes, which the package's parts-mode recognises by its content, through
# partsc --lsp, checks the diagnostics flymake shows, that the server ends with
# status 0 when eglot shuts it down, and the mode of new files. Skips (77)
# only when Emacs or eglot is missing.
#   emacs_test.sh PARTSC SOURCE_DIR
set -euo pipefail
partsc=$1
root=$2
command -v emacs >/dev/null 2>&1 || { echo "emacs_test: Emacs is not installed"; exit 77; }
emacs --batch --eval '(require (quote eglot))' >/dev/null 2>&1 ||
  { echo "emacs_test: eglot is not installed"; exit 77; }

work=$(mktemp -d)
# However the test ends (a timeout, a failure, a signal), Emacs and every
# server still running are stopped: a server's session is named by a file
# "running.PGID" while it runs.
editor=
stop() {
  [ -z "$editor" ] || kill "$editor" 2>/dev/null || true
  for running in "$work"/running.*; do
    [ ! -e "$running" ] || kill -KILL -- "-${running##*.}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' HUP INT TERM
cp "$root/tests/lsp/editors/bolt.src" "$work/BOLT"
# The snippets run "partsc" from the PATH.
mkdir "$work/bin" "$work/settings" "$work/lib"
# Emacs 28's jsonrpc kills the server's process group as soon as eglot has
# sent exit, so the server runs in a session of its own under a wrapper that
# notes how it ended.
cat >"$work/bin/partsc" <<EOF
#!/bin/sh
exec 3<&0
setsid sh -c ': >"$work/running.\$\$"; "\$0" "\$@" <&3 3<&-; s=\$?
  rm -f "$work/running.\$\$"; echo \$s >"$work/server-status"' \
  "$(cd "$(dirname "$partsc")" && pwd)/$(basename "$partsc")" "\$@" &
wait \$!
EOF
chmod +x "$work/bin/partsc"
# The settings file the -p snippet names turns one warning off.
printf '#PARTS:WARNINGS# = all, no-undefined-macro\n' >"$work/settings/ORVA.SET"
: >"$work/lib/ORVA.SET"
# The page's elisp blocks, in order: the set-up, then the settings file.
awk -v dir="$work" '/^```elisp$/ { c++; on = 1; next } /^```$/ { on = 0 } on { print > (dir "/snippet-" c ".el") }' \
  "$root/docs/editors.md"
sed -i "s|/path/ORVA.SET|$work/settings/ORVA.SET|" "$work/snippet-2.el"
export HOME=$work PATH=$work/bin:$PATH PARTSC_SOURCE=$work/BOLT PARTSC_OUT=$work/received.txt
export PARTSC_SNIPPET_SETUP=$work/snippet-1.el PARTSC_SNIPPET_SETTINGS=$work/snippet-2.el
export PARTSC_NEW_IN_LIBRARY=$work/lib/new.src PARTSC_NEW=$work/NEW PARTSC_STATUS=$work/server-status

status=0
timeout -k 5 60 emacs --batch -L "$root/editors/emacs" \
  -l "$root/tests/lsp/editors/eglot_client.el" </dev/null >"$work/emacs.log" 2>&1 &
editor=$!
wait "$editor" || status=$?
editor=
cat "$work/received.txt" 2>/dev/null || true
if [ $status -ne 0 ]; then
  echo "emacs_test: Emacs ended with $status" >&2
  cat "$work/emacs.log" >&2
  exit 1
fi
diff -u "$root/tests/lsp/editors/expected-emacs.txt" "$work/received.txt"
