#!/usr/bin/env bash
# Builds a fresh clone of this checkout as the README's plain build goes,
# once with g++ and once with clang++, and fails when either build prints a
# warning; then installs each into a scratch root.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for cxx in g++ clang++; do
  git clone -q . "$scratch/$cxx"
  (
    cd "$scratch/$cxx"
    export CXX=$cxx
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >build.log 2>&1
    cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >>build.log 2>&1 ||
      { cat build.log >&2; exit 1; }
    build/partsc --version
    DESTDIR="$scratch/root-$cxx" cmake --install build --prefix /usr/local >/dev/null
    # Each warning with the lines before it that name our own code.
    if grep -q 'warning:' build.log; then
      grep -B 16 'warning:' build.log | grep -E 'warning:|(src|tests|bench|fuzz)/[^ ]*:[0-9]+' >&2
      echo "check-plain-build: the plain build with $cxx printed warnings" >&2
      exit 1
    fi
  )
done
echo "check-plain-build: g++ and clang++ build a fresh clone without a warning"
