#!/usr/bin/env bash
# Builds partsc and runs it on the example library in examples/: shows the
# console, the run log TALVIREN.LOG and the error log LIBRARY.CTL.LOG.
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

echo "== console: printf 'LIBRARY.CTL\\n' | partsc -pORVA.SET"
status=0
printf 'LIBRARY.CTL\n' | ../release/partsc -pORVA.SET || status=$?
echo
echo "== exit status: $status"
echo "== parts files in $run/parts:"
ls -l parts
echo "== run log $run/TALVIREN.LOG:"
cat TALVIREN.LOG
echo "== error log $run/LIBRARY.CTL.LOG:"
cat LIBRARY.CTL.LOG
