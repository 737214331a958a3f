#!/usr/bin/env bash
# examples/embed built against an installed partsc, not the build tree: the
# library's components installed from the build tree into a scratch prefix,
# the example configured with that prefix alone, built against the static
# library, the shared one and through pkg-config, and run on an example
# source.
#   embed_test.sh BUILD_DIR CXX [LINK_FLAGS]
set -euo pipefail
build=$1
cxx=$2
flags=${3:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" --component dev >/dev/null
cmake --install "$build" --prefix "$scratch/prefix" --component lib >/dev/null
if grep -rqF --include='*.cmake' --include='*.h' -e "$root" -e "$build" "$scratch/prefix"; then
  echo "embed_test: the installed CMake package or headers name the source or build tree" >&2
  exit 1
fi
check() {
  local out
  out=$(LD_LIBRARY_PATH="$scratch/prefix/lib" "$1" "$root/examples/src/bolts.src")
  grep -qx 'size M10: 2 spec and 4 param entries' <<<"$out"
  grep -qx '\$\$PARTS	!bolt!	<3,5>	"Hex head bolts, coarse thread"' <<<"$out"
  grep -qx '\$\$END' <<<"$out"
}
for shared in OFF ON; do
  cmake -S "$root/examples/embed" -B "$scratch/build-$shared" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_PREFIX_PATH="$scratch/prefix" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    -DEMBED_SHARED=$shared -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
  cmake --build "$scratch/build-$shared" >/dev/null
  check "$scratch/build-$shared/embed"
done
# The shared build needs libpartsc.so.1, and nothing of the library is in it.
readelf -d "$scratch/build-ON/embed" | grep -q 'NEEDED.*libpartsc\.so\.1'
! nm -C "$scratch/build-ON/embed" | grep -q ' T partsc::CompileFile'
export PKG_CONFIG_PATH=$scratch/prefix/lib/pkgconfig
sed -i "s|^prefix=.*|prefix=$scratch/prefix|" "$scratch/prefix/lib/pkgconfig/partsc.pc"
# shellcheck disable=SC2046
"$cxx" -std=c++20 "$root/examples/embed/main.cc" $(pkg-config --cflags --libs partsc) $flags \
  -o "$scratch/embed-pc"
check "$scratch/embed-pc"
echo "embed_test: examples/embed built against $scratch/prefix (static, shared, pkg-config) and ran"
