#!/usr/bin/env bash
# The quick start and the recipes of README.md, run as a new user would, in a
# fresh folder each, with the sources of examples/ where a recipe needs a
# library. Keep it in step with README.md.
#   readme_recipes_test.sh PARTSC SOURCE_DIR
set -uo pipefail
bin=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$bin" "$work"' EXIT
ln -s "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" "$bin/partsc"
export PATH="$bin:$PATH" SOURCE_DATE_EPOCH=1700000000
examples=$2/examples/src
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
fresh() {
  rm -rf "$work/$1"
  mkdir -p "$work/$1"
  cd "$work/$1" || exit 1
}

# Quick start: a library of your own.
fresh quick
partsc --init mylib >/dev/null || fail "quick start: --init"
cd mylib || exit 1
cat >src/pin.src <<'SRC'
$$PARTS !pin! <1,0> "Pins"
$$APG
$TOP !PIN_T!
$$SIZE "P4" !4 mm!
p !D! (4) <0,1> "diameter"
$$END
SRC
echo pin.src >>LIBRARY.CTL
out=$(partsc -pORVA.SET -c LIBRARY.CTL 2>&1 >/dev/null) || fail "quick start: the run failed: $out"
[ -z "$out" ] || fail "quick start: standard error is not empty: $out"
[ -f parts/pin.prt ] || fail "quick start: no parts/pin.prt"
# A misspelt $$TITEL fails the run and keeps the good file and its backup.
partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "quick start: the second run failed"
cp parts/pin.prt good.prt
cp parts/pin.prt.old good.prt.old
sed -i 's/^\$\$SIZE/$$TITEL "Pins"\n$$SIZE/' src/pin.src
out=$(partsc -pORVA.SET -c LIBRARY.CTL 2>&1 >/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "quick start: \$\$TITEL ended with $status, not 1"
cmp -s parts/pin.prt good.prt && cmp -s parts/pin.prt.old good.prt.old ||
  fail "quick start: \$\$TITEL changed the good file or its backup"
grep -qF 'partsc: failed: src/pin.src, line 4: warnings are errors (-Werror): Unknown keyword $$TITEL' <<<"$out" ||
  fail "quick start: the summary does not name the warning: $out"

# Compile a library of sources in src/ into parts/: with --init ...
fresh init
mkdir src
cp "$examples/bolts.src" "$examples/washers.src" src/
partsc --init >/dev/null || fail "recipe: --init"
partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "recipe: compile after --init"
[ -f parts/bolt.prt ] && [ -f parts/WASHER.PRT ] || fail "recipe: --init library not compiled"

# ... and by hand.
fresh hand
mkdir -p src parts
cp "$examples/bolts.src" "$examples/washers.src" src/
printf '#PARTS:INP# = src\n#PARTS:BIN# = parts\n' >ORVA.SET
ls src >LIBRARY.CTL
partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "recipe: compile by hand"

# Inspect parts files, recover a lost source.
listing=$(partsc --list parts/bolt.prt parts/WASHER.PRT) || fail "recipe: --list"
grep -q 'PARTS.!bolt!' <<<"$listing" || fail "recipe: --list shows no bolt"
partsc --decompile parts/bolt.prt -o src/bolt.src || fail "recipe: --decompile"
[ -s src/bolt.src ] || fail "recipe: no recovered source"

# From make, when make is there.
if command -v make >/dev/null; then
  printf 'parts.stamp: LIBRARY.CTL $(wildcard src/*.src)\n\tpartsc -pORVA.SET -q --strict --atomic -c LIBRARY.CTL\n\ttouch $@\n' >Makefile
  make -s >/dev/null 2>&1 || fail "recipe: make"
fi

# Several control files in parallel.
echo bolts.src >A.CTL
echo washers.src >B.CTL
for ctl in A.CTL B.CTL; do
  mkdir -p "run-$ctl"
  partsc -C "run-$ctl" -p ../ORVA.SET -q -c "$PWD/$ctl" &
done
wait
[ -s run-A.CTL/TALVIREN.LOG ] && [ -s run-B.CTL/TALVIREN.LOG ] || fail "recipe: parallel runs"

[ "$failures" -eq 0 ] || exit 1
echo "README recipes: all work in a fresh folder"
