#!/usr/bin/env bash
# examples/embed built against an installed partsc, not the build tree: the
# library's component installed from the build tree into a scratch prefix,
# the example configured with that prefix alone, built, and run on an
# example source.
#   embed_test.sh BUILD_DIR CXX [LINK_FLAGS]
set -euo pipefail
build=$1
cxx=$2
flags=${3:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build" --prefix "$scratch/prefix" --component dev >/dev/null
if grep -rqF --include='*.cmake' --include='*.h' -e "$root" -e "$build" "$scratch/prefix"; then
  echo "embed_test: the installed CMake package or headers name the source or build tree" >&2
  exit 1
fi
cmake -S "$root/examples/embed" -B "$scratch/build" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$scratch/prefix" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$scratch/build" >/dev/null
out=$("$scratch/build/embed" "$root/examples/src/bolts.src")
grep -qx 'size M10: 2 spec and 4 param entries' <<<"$out"
grep -qx '\$\$PARTS	!bolt!	<3,5>	"Hex head bolts, coarse thread"' <<<"$out"
grep -qx '\$\$END' <<<"$out"
echo "embed_test: examples/embed built against $scratch/prefix and ran"
