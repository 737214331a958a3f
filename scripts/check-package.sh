#!/usr/bin/env bash
# Builds the Debian packages from a release build (cmake --workflow --preset
# release): partsc and libpartsc-dev. Checks their file lists against
# tests/packaging/deb_contents.txt and dev_deb_contents.txt, unpacks both into
# a scratch root, runs the unpacked partsc (--version and a compile of the
# example library), builds examples/embed against the unpacked library and
# runs it, and runs lintian over both packages: any error fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/install-deps.sh --package

cmake --workflow --preset release >/dev/null
version=$(sed -n 's/^project(partsc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb=build/release/partsc_${version}_${arch}.deb
devdeb=build/release/libpartsc-dev_${version}_${arch}.deb

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
# The completion needs bash-completion, which apt then brings by default.
dpkg-deb -f "$deb" Recommends | grep -qw bash-completion ||
  { echo "check-package: the package does not recommend bash-completion" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
dpkg -x "$devdeb" "$scratch/root"
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

# A program that embeds the library, built against the unpacked package
# alone.
cmake -S examples/embed -B "$scratch/embed" -DCMAKE_PREFIX_PATH="$scratch/root/usr" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$scratch/embed" >/dev/null
"$scratch/embed/embed" examples/src/bolts.src | grep -qx '\$\$END' ||
  { echo "check-package: examples/embed did not list bolts.src" >&2; exit 1; }

# Errors fail; warnings are listed in docs/packaging.md with their reasons.
lintian --allow-root --fail-on error "$deb" "$devdeb"
echo "check-package: packages built, checked, unpacked and run; lintian shows no error"
