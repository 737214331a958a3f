#!/usr/bin/env bash
# Builds partsc and runs its tests.
#
#   ./scripts/run-tests.sh         the dev preset (g++, warnings as errors):
#                                  about 4 minutes on 2 cores from a fresh clone
#   ./scripts/run-tests.sh --all   the dev preset, then every other test preset
#                                  (AddressSanitizer with UndefinedBehaviorSanitizer,
#                                  which also builds the benchmarks without running
#                                  them, ThreadSanitizer), the Debian package check
#                                  and the README's plain build with g++ and clang++,
#                                  which must print no warning: about 50 minutes on
#                                  2 cores (what CI runs)
#
# What is missing is installed first with apt-get; the installer's output goes
# to build/install-deps.log, and only a failure shows it.
set -euo pipefail
cd "$(dirname "$0")/.."

all=0
for option in "$@"; do
  case $option in
    --all) all=1 ;;
    -h | --help) sed -n '2,15s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "run-tests: unknown option $option (use --all or nothing)" >&2; exit 2 ;;
  esac
done

mkdir -p build
log=build/install-deps.log
deps=(--tests)
[ $all -eq 0 ] || deps+=(--package --bench)
echo "run-tests: installing what is missing (output in $log)"
if ! ./scripts/install-deps.sh "${deps[@]}" >"$log" 2>&1; then
  cat "$log" >&2
  echo "run-tests: installing the dependencies failed" >&2
  exit 1
fi

jobs=$(nproc 2>/dev/null || echo 2)
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$jobs}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$jobs}

start=$SECONDS
step() {
  local begun=$SECONDS
  echo "run-tests: $*"
  "$@"
  echo "run-tests: $* took $((SECONDS - begun)) s"
}

step cmake --workflow --preset dev
if [ $all -eq 1 ]; then
  step cmake --workflow --preset asan
  step cmake --workflow --preset tsan
  step ./scripts/check-package.sh
  step ./scripts/check-plain-build.sh
fi
echo "run-tests: all tests passed in $((SECONDS - start)) s"
