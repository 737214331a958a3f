#!/usr/bin/env bash
# Builds the Debian packages from a release build (cmake --workflow --preset
# release): partsc, libpartsc1, libpartsc-dev and python3-partsc. Checks their
# file lists against tests/packaging/*deb_contents.txt, unpacks them into a
# scratch root, runs the unpacked partsc (--version and a compile of the
# example library), builds examples/embed against the unpacked library and
# runs it, runs the Python tests (pytest) and the catalogue example against
# the unpacked python3-partsc (PYTHONPATH), and runs lintian over the four
# packages: any error or warning fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/install-deps.sh --package

cmake --workflow --preset release >/dev/null
version=$(sed -n 's/^project(partsc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb=build/release/partsc_${version}_${arch}.deb
devdeb=build/release/libpartsc-dev_${version}_${arch}.deb
libdeb=build/release/libpartsc1_${version}_${arch}.deb
pydeb=build/release/python3-partsc_${version}_${arch}.deb

# Each package holds exactly the files of its list, where MULTIARCH stands
# for the library directory of the architecture (x86_64-linux-gnu).
multiarch=$(gcc -print-multiarch)
check_contents() {
  [ -f "$1" ] || { echo "check-package: $1 was not made" >&2; exit 1; }
  echo "check-package: $1"
  local contents
  contents=$(dpkg-deb -c "$1" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' | grep -v '^$')
  if ! sed "s|MULTIARCH|$multiarch|" "$2" | diff -u - <(echo "$contents"); then
    echo "check-package: the file list of $1 differs from $2" >&2
    exit 1
  fi
}
check_contents "$deb" tests/packaging/deb_contents.txt
check_contents "$devdeb" tests/packaging/dev_deb_contents.txt
check_contents "$libdeb" tests/packaging/lib_deb_contents.txt
check_contents "$pydeb" tests/packaging/python_deb_contents.txt
dpkg-deb -I "$libdeb" shlibs | grep -qx "libpartsc 1 libpartsc1 (>= $version)" ||
  { echo "check-package: libpartsc1 has no shlibs for libpartsc.so.1" >&2; exit 1; }
# The completion needs bash-completion, which apt then brings by default.
dpkg-deb -f "$deb" Recommends | grep -qw bash-completion ||
  { echo "check-package: the package does not recommend bash-completion" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
dpkg -x "$devdeb" "$scratch/root"
dpkg -x "$libdeb" "$scratch/root"
dpkg -x "$pydeb" "$scratch/root"
partsc=$scratch/root/usr/bin/partsc
"$partsc" --version | grep -qx "partsc $version" || { echo "check-package: wrong --version" >&2; exit 1; }
zcat "$scratch/root/usr/share/man/man1/partsc.1.gz" | cmp - man/partsc.1
zcat "$scratch/root/usr/share/man/man5/partsc.5.gz" | cmp - man/partsc.5
cp -r examples "$scratch/library"
mkdir -p "$scratch/library/parts"
status=0
(cd "$scratch/library" && SOURCE_DATE_EPOCH=0 "$partsc" -pORVA.SET -q -c LIBRARY.CTL >/dev/null) || status=$?
[ "$status" -eq 0 ] || { echo "check-package: the example run ended with $status" >&2; exit 1; }
ls "$scratch/library/parts"/*.prt >/dev/null
grep -q '\$\$PARTS' "$scratch/library/TALVIREN.LOG"
# The JSON documents of the library's parts files, against the schema the
# package installs.
# BRACKET.PRT is damaged on purpose: its document says where reading stopped.
"$partsc" --list --format=json "$scratch/library/parts"/* >"$scratch/library.jsonl" || true
/usr/bin/python3 - "$scratch/root/usr/share/partsc/parts-file.schema.json" "$scratch/library.jsonl" <<'PY' ||
import json, sys, jsonschema
validator = jsonschema.Draft202012Validator(json.load(open(sys.argv[1])))
for line in open(sys.argv[2]):
    validator.validate(json.loads(line))
PY
  { echo "check-package: a parts file's JSON breaks the installed schema" >&2; exit 1; }

# A program that embeds the library, built against the unpacked package
# alone.
cmake -S examples/embed -B "$scratch/embed" -DCMAKE_PREFIX_PATH="$scratch/root/usr" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$scratch/embed" >/dev/null
"$scratch/embed/embed" examples/src/bolts.src | grep -qx '\$\$END' ||
  { echo "check-package: examples/embed did not list bolts.src" >&2; exit 1; }

# import partsc from the unpacked python3-partsc, where Debian's python3 finds
# it once installed (/usr/lib/python3/dist-packages): its tests, with the
# unpacked partsc, and the catalogue example on the example library.
pythonpath=$scratch/root/usr/lib/python3/dist-packages
(cd "$scratch" && PYTHONPATH=$pythonpath PARTSC=$partsc PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/tests/python")
PYTHONPATH=$pythonpath /usr/bin/python3 examples/python/catalogue.py "$scratch/library/parts" |
  diff -u tests/python/catalogue.expected - ||
  { echo "check-package: the catalogue example printed another table" >&2; exit 1; }

lintian --allow-root --fail-on error,warning "$deb" "$devdeb" "$libdeb" "$pydeb"
echo "check-package: packages built, checked, unpacked and run; lintian shows no error or warning"
