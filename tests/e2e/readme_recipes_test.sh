#!/usr/bin/env bash
# Every command of README.md and of the manual pages' examples, run as a new
# user would, each recipe in a fresh folder, with the sources of examples/
# where a recipe needs a library; where the README shows what a command
# prints, that is compared. Last, every command line of the pages must stand
# in this script as it stands on the page, or in the scripts CI runs (the
# set-up and build commands).
#   readme_recipes_test.sh PARTSC SOURCE_DIR
set -uo pipefail
script=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
source_dir=$(cd "$2" && pwd)
bin=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$bin" "$work"' EXIT
ln -s "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" "$bin/partsc"
export PATH="$bin:$PATH" SOURCE_DATE_EPOCH=1700000000
examples=$source_dir/examples/src
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
fresh() {
  rm -rf "${work:?}/$1"
  mkdir -p "$work/$1"
  cd "$work/$1" || exit 1
}
# The indented block of README.md after the line that ends with $1.
shown() {
  awk -v after="$1" '
    found && /^    / { print substr($0, 5); printed = 1; next }
    found && printed { exit }
    index($0, after) && substr($0, length($0) - length(after) + 1) == after { found = 1 }
  ' "$source_dir/README.md"
}
# A library of the example sources in src/, started with --init.
example_library() {
  fresh "$1"
  mkdir src
  cp "$examples/bolts.src" "$examples/washers.src" src/
  partsc --init >/dev/null || fail "$1: --init"
  partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "$1: the first compile"
}

# Quick start: a library of your own; a clean run says nothing.
fresh quick
partsc --init mylib >/dev/null || fail "quick start: --init"
cd mylib || exit 1
cat > src/pin.src <<'EOF'
$$PARTS !pin! <1,0> "Pins"
$$APG
$TOP !PIN_T!
$$SIZE "P4" !4 mm!
p !D! (4) <0,1> "diameter"
$$END
EOF
echo pin.src >>LIBRARY.CTL
out=$(partsc -pORVA.SET -c LIBRARY.CTL 2>&1) || fail "quick start: the run failed: $out"
[ -z "$out" ] || fail "quick start: a clean run printed: $out"
[ -f parts/pin.prt ] && [ -s TALVIREN.LOG ] || fail "quick start: no parts/pin.prt or run log"
# A misspelt $$TITEL fails the run and keeps the good file and its backup;
# standard error begins and ends as the README shows.
partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "quick start: the second run failed"
cp parts/pin.prt good.prt
cp parts/pin.prt.old good.prt.old
sed -i 's/^\$\$SIZE/$$TITEL "Pins"\n$$SIZE/' src/pin.src
err=$(partsc -pORVA.SET -c LIBRARY.CTL 2>&1 >/dev/null)
status=$?
[ "$status" -eq 1 ] || fail "quick start: \$\$TITEL ended with $status, not 1"
cmp -s parts/pin.prt good.prt && cmp -s parts/pin.prt.old good.prt.old ||
  fail "quick start: \$\$TITEL changed the good file or its backup"
[ "$(head -n 1 <<<"$err")" = "$(shown 'the diagnostic comes first:')" ] ||
  fail "quick start: the diagnostic is not the README's: $err"
[ "$(tail -n 3 <<<"$err")" = "$(shown 'and the summary last:')" ] ||
  fail "quick start: the summary is not the README's: $err"
partsc --explain unknown-keyword >/dev/null || fail "quick start: --explain unknown-keyword"
# Without -p the run says that it did not read ORVA.SET.
err=$(partsc -c LIBRARY.CTL 2>&1 >/dev/null)
grep -q '^partsc: note: the settings file ORVA.SET beside LIBRARY.CTL was not read' <<<"$err" ||
  fail "quick start: no note of the unread ORVA.SET: $err"

# Recipes: a library of sources in src/, with --init and by hand.
example_library init
fresh hand
mkdir -p src parts
cp "$examples/bolts.src" "$examples/washers.src" src/
printf '#PARTS:INP# = src\n#PARTS:BIN# = parts\n' > ORVA.SET
ls src >LIBRARY.CTL
partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "recipe: compile by hand"
[ -f parts/bolt.prt ] && [ -f parts/WASHER.PRT ] || fail "recipe: the library was not compiled"

# Inspect parts files, recover a lost source.
example_library inspect
listing=$(partsc --list parts/bolt.prt parts/WASHER.PRT) || fail "recipe: --list"
grep -q 'PARTS.!bolt!' <<<"$listing" || fail "recipe: --list shows no bolt"
partsc --decompile parts/bolt.prt -o src/bolt.src || fail "recipe: --decompile"
[ -s src/bolt.src ] || fail "recipe: no recovered source"

# JSON, from another program and as data.
example_library json
if command -v jq >/dev/null; then
  names=$(partsc --list --format=json parts/bolt.prt | jq -r '.sizes[].name')
  [ -n "$names" ] || fail "recipe: --list --format=json | jq gave no size names"
fi
partsc --list --format=json parts/bolt.prt > bolt.json || fail "recipe: --format=json"
partsc --from-json bolt.json -o parts/bolt.prt --force || fail "recipe: --from-json"

# What a compile changed; a check that writes nothing.
example_library changes
partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1 || fail "recipe: the second compile"
partsc --diff parts/bolt.prt.old parts/bolt.prt >/dev/null || fail "recipe: --diff of the same"
changes=$(partsc -pORVA.SET --changes -c LIBRARY.CTL) || fail "recipe: --changes"
grep -q '^parts/bolt.prt: ' <<<"$changes" || fail "recipe: --changes printed no line: $changes"
partsc -pORVA.SET --check -c LIBRARY.CTL || fail "recipe: --check"

# Parts files under git: --diff as the diff driver, the lines as textconv.
example_library git
if command -v git >/dev/null; then
  export GIT_CONFIG_NOSYSTEM=1 HOME=$work/git GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@example.org
  export GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@example.org
  git init -q . && git add parts && git commit -qm parts || fail "recipe: git"
  git config diff.parts.command 'partsc --diff'
  echo '*.prt diff=parts' >> .gitattributes
  sed -i 's/M12/M14/' src/bolts.src
  partsc -pORVA.SET -c LIBRARY.CTL >/dev/null 2>&1
  git diff | grep -qx '+++ b/parts/bolt.prt' || fail "recipe: git diff with partsc --diff"
  git config diff.parts.textconv 'partsc --list --format=lines'
  git config --unset diff.parts.command
  git diff | grep -q '^+\$\$SIZE.*M14' || fail "recipe: git diff with the textconv"
fi

# From make, when make is there.
example_library make
if command -v make >/dev/null; then
  printf 'parts.stamp: LIBRARY.CTL $(wildcard src/*.src)\n\tpartsc -pORVA.SET -c LIBRARY.CTL\n\ttouch $@\n' >Makefile
  make -s >/dev/null 2>&1 && [ -f parts.stamp ] || fail "recipe: make"
fi

# Several control files at once.
example_library parallel
echo bolts.src >A.CTL
echo washers.src >B.CTL
for ctl in A.CTL B.CTL; do
  mkdir -p "run-$ctl"
  partsc -C "run-$ctl" -p ../ORVA.SET -c "$PWD/$ctl" &
done
wait
[ -s run-A.CTL/TALVIREN.LOG ] && [ -s run-B.CTL/TALVIREN.LOG ] || fail "recipe: parallel runs"

# The examples of the manual pages: a library started and compiled, quietly
# and strictly, with the name typed at the prompt, listed and recovered.
fresh man
cp "$examples/bolts.src" pin.src
partsc --init mylib >/dev/null || fail "man: --init"
cd mylib || exit 1
cp ../pin.src src/ && echo pin.src >>LIBRARY.CTL
partsc -pORVA.SET -c LIBRARY.CTL || fail "man: compile"
partsc -pORVA.SET -q --strict --atomic -c LIBRARY.CTL || fail "man: compile quietly"
printf 'LIBRARY.CTL\n' | partsc -pORVA.SET || fail "man: the name at the prompt"
example_library man-list
cp "$examples/washers.src" src/
partsc --list parts/bolt.prt parts/WASHER.PRT >/dev/null || fail "man: --list"
partsc --decompile parts/bolt.prt -o src/bolt.src || fail "man: --decompile"
# The diagnostics' examples that are commands.
fresh man-diagnostics
partsc -c NOSUCH.CTL >/dev/null 2>&1
[ $? -eq 255 ] || fail "man: partsc -c NOSUCH.CTL does not end with 255"
printf '\n' | partsc >/dev/null 2>&1
[ $? -eq 255 ] || fail "man: an empty name does not end with 255"
touch LIBRARY.CTL
timeout -s TERM 1 partsc -c LIBRARY.CTL >/dev/null 2>&1
[ $? -le 1 ] || [ $? -eq 143 ] || fail "man: timeout -s TERM 1 partsc"

# Every command line of the pages stands here or in the scripts CI runs
# (a plain build, the install into a scratch root). Only the install of the
# packages into the machine itself is left out: scripts/check-package.sh
# unpacks the same packages into a scratch root instead.
runners=("$script" "$source_dir"/scripts/*.sh "$source_dir"/.ci/run)
not_run='sudo apt install ./build/release/*.deb'
check_lines() {
  local page=$1 line
  while IFS= read -r line; do
    [ -z "$line" ] || [ "$line" = "$not_run" ] && continue
    grep -qF -- "$line" "${runners[@]}" || fail "$page: no test runs: $line"
  done
}
# README: the lines of every indented block that begins with a command.
check_lines README.md < <(awk '
  /^    / && !inblock { block = ""; inblock = 1 }
  /^    / { block = block substr($0, 5) "\n"; next }
  inblock {
    inblock = 0
    if (block ~ /^(partsc|\.\/scripts\/|cmake|sudo|mkdir|cd|for) /) printf "%s", block
  }
' "$source_dir/README.md")
# The manual pages: the command lines of their examples.
for page in "$source_dir"/man/partsc.1 "$source_dir"/man/partsc.5; do
  check_lines "$(basename "$page")" < <(awk '/^\.nf/ { f = 1; next } /^\.fi/ { f = 0 } f' "$page" |
    sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\e/\\/g' |
    grep -E '^(partsc |printf|cd |cp |timeout )')
done

[ "$failures" -eq 0 ] || exit 1
echo "README and manual page commands: all work in a fresh folder"
