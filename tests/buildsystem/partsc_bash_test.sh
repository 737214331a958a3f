#!/usr/bin/env bash
# Drives the bash completion of partsc as bash does at a <TAB>: sets
# COMP_WORDS and COMP_CWORD, calls the function that `complete -p partsc`
# names and compares the candidates.
#   partsc_bash_test.sh COMPLETION_FILE
set -uo pipefail
completion=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir parts
touch ORVA.SET LIBRARY.CTL parts/bolt.prt run.sarif

# shellcheck source=/dev/null
source "$completion"
function=$(complete -p partsc | sed -n 's/.*-F \([^ ]*\) partsc$/\1/p')
if [ -z "$function" ]; then
  echo "FAIL: complete -p partsc names no function: $(complete -p partsc)"
  exit 1
fi

failures=0
# expect "CANDIDATES" WORD... : the words of the command line, the last one
# being completed; the candidates sorted and joined by blanks.
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMPREPLY=()
  "$function"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
  if [ "$got" != "$want" ]; then
    echo "FAIL: partsc ${*}<TAB>: want [$want], got [$got]"
    failures=$((failures + 1))
  fi
}

expect "--list" partsc --li
expect "LIBRARY.CTL ORVA.SET parts run.sarif" partsc -p ""
expect "ORVA.SET" partsc -p O
expect "-pORVA.SET" partsc -pO
expect "LIBRARY.CTL" partsc -p ORVA.SET -c L
expect "--control=LIBRARY.CTL" partsc --control=L
expect "parts/bolt.prt" partsc --list ORVA.SET parts/b
expect "parts/bolt.prt" partsc --decompile parts/
expect "LIBRARY.CTL" partsc --decompile parts/bolt.prt -o LIB
expect "--quiet" partsc -c LIBRARY.CTL --q
expect "--strict" partsc --st
expect "--atomic" partsc -c LIBRARY.CTL --at
expect "parts" partsc -C ""
expect "-Cparts" partsc -Cp
expect "--force" partsc --decompile parts/bolt.prt -o x.src --fo
expect "--help" partsc --he
expect "--lsp" partsc --ls
expect "-h" partsc -h
expect "" partsc --bogus
expect "--diagnostics-format=gnu" partsc --diagnostics-format=g
expect "-Wno-text-cut" partsc -Wno-te
expect "-Wunclosed-field -Wundefined-macro -Wunknown-keyword" partsc -Wun
expect "run.sarif" partsc --sarif ru
expect "--no-atomic --no-sarif --no-strict" partsc -pORVA.SET --no-
expect "parts" partsc --init p

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "bash completion: all candidates as expected"
