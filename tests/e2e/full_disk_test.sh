#!/usr/bin/env bash
# A real full file system: the parts directory is a 64 KiB tmpfs. With
# --atomic, a source whose parts file does not fit leaves the older file and
# its backup byte for byte and no temporary file, and says so; the default
# mode names the file and the reason. Skipped (77) where no tmpfs can be
# mounted.
#   full_disk_test.sh PARTSC
set -uo pipefail
partsc=$1
work=$(mktemp -d)
parts=$work/parts
mkdir "$parts"
cleanup() {
  umount "$parts" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=64k tmpfs "$parts" 2>/dev/null; then
  echo "skipped: no tmpfs can be mounted here"
  exit 77
fi
cd "$work" || exit 1
export SOURCE_DATE_EPOCH=1700000000
printf '#PARTS:BIN# = parts\n' >ORVA.SET
printf 'big.src\n' >RUN.CTL
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# A source of N sizes of eight params each: 300 sizes do not fit in 64 KiB.
source_of() {
  printf '$$PARTS !big!\n$$APG\n$TOP !T!\n'
  for ((i = 1; i <= $1; i++)); do
    printf '$$SIZE "S%d"\n' "$i"
    for ((j = 1; j <= 8; j++)); do
      printf 'p !P%d! (value %d of %d)\n' "$j" "$j" "$i"
    done
  done
  printf '$$END\n'
}
run() {
  "$partsc" -pORVA.SET -q "$@" -c RUN.CTL 2>err.txt >/dev/null
}

source_of 2 >big.src
run --atomic && run --atomic || fail "the small source did not compile"
cp parts/big.prt older.prt
cp parts/big.prt.old older.old
source_of 300 >big.src
run --atomic --strict
[ $? -eq 1 ] || fail "--atomic --strict on a full disk did not end with 1"
grep -qx "partsc: $parts/big.prt: cannot be written: No space left on device" err.txt ||
  fail "no reason named: $(cat err.txt)"
grep -qx "partsc: $parts/big.prt: not replaced: big.src: Data Write Error: No space left on device; the previous file and its backup are kept" \
  err.txt || fail "no note that the previous file was kept: $(cat err.txt)"
cmp -s parts/big.prt older.prt || fail "the older parts file changed"
cmp -s parts/big.prt.old older.old || fail "the older backup changed"
leftovers=$(find parts -name '.big.prt.new-*')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
"$partsc" --list parts/big.prt >/dev/null || fail "the kept parts file does not list"

run
grep -q "^	\*\*\* E \*\*\* Data Write Error$" RUN.CTL.LOG || fail "no Data Write Error in the error log"
grep -qx "partsc: $parts/big.prt: cannot be written: No space left on device" err.txt ||
  fail "the default mode names no file and reason: $(cat err.txt)"
grep -q "^partsc:   left: .*big.prt is left incomplete; the previous file is kept as .*big.prt.old$" \
  err.txt || fail "the summary does not say what was left: $(cat err.txt)"

[ "$failures" -eq 0 ] || exit 1
echo "full disk: the older parts file and its backup kept, every failure named"
