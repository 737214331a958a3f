#!/usr/bin/env bash
# Builds partsc and runs it on the example library in examples/: shows the
# console, the run log TALVIREN.LOG and the error log LIBRARY.CTL.LOG. It
# compiles with --atomic, as we recommend, so that the source that fails on
# purpose leaves no incomplete parts file.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target partsc >/dev/null

run=build/example
rm -rf "$run"
mkdir -p "$run"
cp -r examples/. "$run"
mkdir -p "$run/parts"
cd "$run"

# brackets.src fails on purpose, after its parts file was begun: --atomic
# keeps no incomplete BRACKET.PRT (without it, one would be left).
echo "== console: printf 'LIBRARY.CTL\\n' | partsc -pORVA.SET --atomic"
status=0
printf 'LIBRARY.CTL\n' | ../release/partsc -pORVA.SET --atomic || status=$?
echo
echo "== exit status: $status"
echo "== parts files in $run/parts (brackets.src failed, so --atomic wrote no BRACKET.PRT):"
ls -l parts
echo "== run log $run/TALVIREN.LOG:"
cat TALVIREN.LOG
echo "== error log $run/LIBRARY.CTL.LOG:"
cat LIBRARY.CTL.LOG
