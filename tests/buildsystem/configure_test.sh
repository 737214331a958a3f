#!/usr/bin/env bash
# A plain configure on a machine without GoogleTest (simulated with
# CMAKE_DISABLE_FIND_PACKAGE_GTest) builds partsc alone with a one-line
# notice; an explicit PARTSC_TESTS=ON then fails naming the package; the
# default build type is set only where the generator has a single one.
#   configure_test.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

out=$(cmake -S "$source_dir" -B "$work/auto" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON 2>&1)
[ $? -eq 0 ] || fail "plain configure without GoogleTest failed: $out"
grep -q "^partsc: GoogleTest not found (Debian package libgtest-dev): building without the tests$" \
  <<<"$out" || fail "no notice in: $out"
grep -qx "CMAKE_BUILD_TYPE:STRING=RelWithDebInfo" "$work/auto/CMakeCache.txt" ||
  fail "default build type not RelWithDebInfo"

out=$(cmake -S "$source_dir" -B "$work/on" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DPARTSC_TESTS=ON 2>&1)
[ $? -ne 0 ] || fail "PARTSC_TESTS=ON without GoogleTest configured"
grep -q "install the Debian package libgtest-dev" <<<"$out" || fail "no package named in: $out"

out=$(cmake -S "$source_dir" -B "$work/given" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON 2>&1)
grep -qx "CMAKE_BUILD_TYPE:STRING=Debug" "$work/given/CMakeCache.txt" ||
  fail "a given build type was replaced"

if command -v ninja >/dev/null; then
  cmake -S "$source_dir" -B "$work/multi" -G "Ninja Multi-Config" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >/dev/null 2>&1 || fail "multi-config configure failed"
  ! grep -q "^CMAKE_BUILD_TYPE:" "$work/multi/CMakeCache.txt" ||
    fail "a build type was set for a multi-config generator"
fi

[ "$failures" -eq 0 ] || exit 1
echo "configure: all cases as expected"
