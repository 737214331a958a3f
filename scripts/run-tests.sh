#!/usr/bin/env bash
# Builds partsc and runs every test: the dev preset (g++, warnings as errors),
# the asan preset (clang++ with AddressSanitizer and
# UndefinedBehaviorSanitizer), then the Debian package check.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --tests --package

jobs=$(nproc 2>/dev/null || echo 2)
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$jobs}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$jobs}

cmake --workflow --preset dev
cmake --workflow --preset asan
./scripts/check-package.sh
echo "run-tests: all tests passed"
