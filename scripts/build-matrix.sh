#!/usr/bin/env bash
# Builds everything (partsc, tests, fuzz replay, benchmarks) with warnings as
# errors for every compiler and build type: {g++, clang++} x {Debug, Release,
# RelWithDebInfo}, each in build/matrix/COMPILER-TYPE, and prints one line a
# combination. Not part of CI (it takes a while); run it after a change to the
# build or a compiler upgrade:  ./scripts/build-matrix.sh [COMPILER...]
set -uo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --tests --bench
jobs=$(nproc 2>/dev/null || echo 2)
compilers=("$@")
[ ${#compilers[@]} -gt 0 ] || compilers=(g++ clang++)
status=0
for cxx in "${compilers[@]}"; do
  for type in Debug Release RelWithDebInfo; do
    dir=build/matrix/$cxx-$type
    log=$dir.log
    mkdir -p build/matrix
    start=$(date +%s)
    if cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE="$type" \
      -DPARTSC_WERROR=ON -DPARTSC_TESTS=ON -DPARTSC_BENCH=ON >"$log" 2>&1 &&
      cmake --build "$dir" -j "$jobs" >>"$log" 2>&1; then
      echo "build-matrix: $cxx $type: ok ($(($(date +%s) - start)) s)"
    else
      echo "build-matrix: $cxx $type: FAILED (see $log)"
      status=1
    fi
  done
done
exit $status
