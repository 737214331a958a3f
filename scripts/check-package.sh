#!/usr/bin/env bash
# Builds the Debian package from a release build (cmake --workflow --preset
# release), checks its file list against tests/packaging/deb_contents.txt,
# unpacks it into a scratch root, runs the unpacked partsc (--version and a
# compile of the example library) and runs lintian over it: any error fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
./scripts/install-deps.sh --package

cmake --workflow --preset release >/dev/null
version=$(sed -n 's/^project(partsc VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=build/release/partsc_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "check-package: $deb was not made" >&2; exit 1; }
echo "check-package: $deb"
# The completion needs bash-completion, which apt then brings by default.
dpkg-deb -f "$deb" Recommends | grep -qw bash-completion ||
  { echo "check-package: the package does not recommend bash-completion" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' | grep -v '^$')
if ! diff -u tests/packaging/deb_contents.txt - <<<"$contents"; then
  echo "check-package: the file list differs from tests/packaging/deb_contents.txt" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
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

# Errors fail; warnings are listed in docs/packaging.md with their reasons.
lintian --allow-root --fail-on error "$deb"
echo "check-package: package built, checked, unpacked and run; lintian shows no error"
