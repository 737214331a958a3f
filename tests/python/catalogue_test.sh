#!/usr/bin/env bash
# The example catalogue script (examples/python/catalogue.py) on the example
# library, compiled by partsc: its table is tests/python/catalogue.expected.
#
# usage: catalogue_test.sh PARTSC SOURCE_DIR
set -euo pipefail
partsc=$1
source=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp -r "$source/examples/." "$scratch"
mkdir -p "$scratch/parts"
(cd "$scratch" && SOURCE_DATE_EPOCH=0 "$partsc" -pORVA.SET -q -c LIBRARY.CTL >/dev/null 2>&1) || true
/usr/bin/python3 "$source/examples/python/catalogue.py" "$scratch/parts" |
  diff -u "$source/tests/python/catalogue.expected" -
