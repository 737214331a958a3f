#!/usr/bin/env bash
# Real consumers of partsc's structured diagnostics, run on the library in
# library/ (a maintainer's ordinary mistakes):
#   vim PARTSC    the GNU lines loaded by vim's quickfix with its default
#                 errorformat; file, line and column of each entry
#   jq PARTSC     the JSON lines read by jq
#   sarif PARTSC  the SARIF log validated against the SARIF 2.1.0 schema of
#                 npm's @microsoft/sarif-multitool-linux (python3-jsonschema),
#                 then by the multitool's own validate command with the
#                 rules of code scanning; the fingerprints survive a moved
#                 checkout with lines added above every diagnostic
#   fingerprints PARTSC  the SARIF logs of two runs around an edit of a
#                 source: each result keeps its fingerprint where only its
#                 line moved
# A consumer that is not installed skips the test (exit 77) with a message.
set -euo pipefail
mode=$1
partsc=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/library/* "$work"/
cd "$work"
export SOURCE_DATE_EPOCH=1700000000

skip() {
  echo "SKIP: $*"
  exit 77
}

# The partsc run every consumer reads.
run() {
  "$partsc" -q -Wall "$@" -c LIB.CTL >stdout.txt 2>stderr.txt || true
}

case $mode in
  vim)
    command -v vim >/dev/null || skip "vim is not installed (Debian package vim-nox)"
    run --diagnostics-format=gnu
    vim -es -N -u NONE -i NONE -c 'set errorformat&' -c 'cfile stderr.txt' \
      -c 'call writefile(map(filter(getqflist(), "v:val.valid"), "bufname(v:val.bufnr) . \":\" . v:val.lnum . \":\" . v:val.col"), "quickfix.txt")' \
      -c 'qa!'
    diff -u "$here/expected-quickfix.txt" quickfix.txt
    ;;
  jq)
    command -v jq >/dev/null || skip "jq is not installed (Debian package jq)"
    # With --atomic too: standard error holds nothing but JSON lines.
    run --atomic --diagnostics-format=json
    # Every record, then the summary the run ends with.
    jq -r 'if .summary then "summary \(.summary.compiled) \(.summary.failed) " +
             (.summary.failures | map("\(.file):\(.line):\(.left)") | join(" "))
           else [.file, .line, .column, .severity, .name, .log_line] | map(tostring) | join(" ")
           end' stderr.txt >records.txt
    diff -u "$here/expected-records.txt" records.txt
    ;;
  sarif)
    python=/usr/bin/python3
    [ -x "$python" ] && "$python" -c 'import jsonschema' 2>/dev/null ||
      skip "python3-jsonschema is not installed"
    multitool="$(npm root -g 2>/dev/null || true)/@microsoft/sarif-multitool-linux"
    schema="$multitool/sarif-2.1.0.json"
    [ -f "$schema" ] ||
      skip "the SARIF schema of npm's @microsoft/sarif-multitool-linux is not installed"
    run --sarif run.sarif
    "$python" - "$schema" run.sarif <<'PY'
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1], encoding="utf-8-sig"))
log = json.load(open(sys.argv[2]))
validator = jsonschema.validators.validator_for(schema)(schema)
errors = sorted(validator.iter_errors(log), key=str)
for error in errors:
    print("invalid:", error.message, "at", list(error.absolute_path))
run = log["runs"][0]
rules = run["tool"]["driver"]["rules"]
with open("results.txt", "w") as out:
    for result in run["results"]:
        place = result["locations"][0]["physicalLocation"]
        region = place.get("region", {})
        assert rules[result["ruleIndex"]]["id"] == result["ruleId"]
        print(result["ruleId"], result["level"], place["artifactLocation"]["uri"],
              region.get("startLine"), region.get("startColumn"), file=out)
sys.exit(1 if errors or not run["results"] else 0)
PY
    diff -u "$here/expected-sarif.txt" results.txt
    # The fingerprints of the same library checked out elsewhere, with lines
    # added above every diagnostic, are those of the first run.
    mkdir moved
    cp LIB.CTL moved/
    for source in *.src; do
      { printf '/ a note\n/ another\n'; cat "$source"; } >"moved/$source"
    done
    (cd moved && run --sarif run.sarif)
    "$python" - run.sarif moved/run.sarif <<'PY'
import json, sys
prints = [[r["partialFingerprints"]["partscResult/v1"] for r in json.load(open(p))["runs"][0]["results"]]
          for p in sys.argv[1:]]
assert prints[0] == prints[1], prints
assert len(set(prints[0])) == len(prints[0]), "two results share a fingerprint"
PY
    # The multitool's own rules and the code-scanning ones: warnings are
    # advice, an error fails.
    if [ -x "$multitool/Sarif.Multitool" ]; then
      "$multitool/Sarif.Multitool" validate --rule-kind "Gh;Sarif" -o checked.sarif run.sarif \
        >validate.txt 2>&1 || true
      if grep -E ': error [A-Z]+[0-9]+:|^Unhandled' validate.txt; then
        exit 1
      fi
      grep -q 'Analysis completed successfully' validate.txt || { cat validate.txt; exit 1; }
    fi
    ;;
  fingerprints)
    [ -x /usr/bin/python3 ] || skip "python3 is not installed"
    run --sarif before.sarif
    # Two comment lines move every later line of bolts.src down; line 10
    # (now 12) is changed, so its result is a new one.
    sed -i -e '1a / moved down\n/ by two lines' -e 's/{COARSE}/{ROUGH}/' bolts.src
    run --sarif after.sarif
    /usr/bin/python3 - before.sarif after.sarif >fingerprints.txt <<'PY'
import json, sys
def results(path):
    return [(r["ruleId"], r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"],
             r["locations"][0]["physicalLocation"].get("region", {}).get("startLine"),
             r["partialFingerprints"]["partscResult/v1"])
            for r in json.load(open(path))["runs"][0]["results"]]
before, after = results(sys.argv[1]), results(sys.argv[2])
prints = [r[3] for r in after]
assert len(set(prints)) == len(prints), "two results share a fingerprint"
for rule, uri, line, mark in before:
    match = [r for r in after if r[3] == mark]
    print(rule, uri, line, "->", match[0][2] if match else "gone")
for rule, uri, line, mark in after:
    if mark not in [r[3] for r in before]:
        print(rule, uri, "new ->", line)
PY
    diff -u "$here/expected-fingerprints.txt" fingerprints.txt
    ;;
  *)
    echo "usage: consumers_test.sh vim|jq|sarif|fingerprints PARTSC" >&2
    exit 2
    ;;
esac
