#!/usr/bin/env bash
# Runs the end-to-end tests (and the whole-run tests of tests/faults) with the
# test programs and every partsc run they start under valgrind's memcheck,
# then sums up the reports: any memory error or leak fails the script.
# Not part of CI (it takes minutes); run it by hand:  fuzz/valgrind-e2e.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-valgrind
logs=$build/valgrind-logs

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target partsc partsc_e2e_tests partsc_faults_tests -j 2 >/dev/null
rm -rf "$logs"
mkdir -p "$logs"

memcheck=(valgrind --tool=memcheck --trace-children=yes --leak-check=full
  --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible
  --error-exitcode=99 --log-file="$logs/vg.%p.log")

start=$(date +%s)
status=0
"${memcheck[@]}" "$build/tests/partsc_e2e_tests" >"$logs/e2e.out" 2>&1 || status=$?
"${memcheck[@]}" "$build/tests/partsc_faults_tests" --gtest_filter='NothingLost.*' \
  >"$logs/faults.out" 2>&1 || status=$?
seconds=$(($(date +%s) - start))

processes=$(find "$logs" -name 'vg.*.log' | wc -l)
partsc_runs=$(grep -l 'Command: .*/partsc' "$logs"/vg.*.log | wc -l)
dirty=$(grep -L 'ERROR SUMMARY: 0 errors' "$logs"/vg.*.log || true)
echo "valgrind-e2e: $processes processes under memcheck ($partsc_runs partsc runs) in ${seconds}s"
if [ -n "$dirty" ]; then
  echo "valgrind-e2e: memcheck found errors or leaks in:"
  for log in $dirty; do
    echo "== $log"
    grep -E 'Command:|ERROR SUMMARY|definitely|indirectly|possibly|Invalid|uninitialised' "$log"
  done
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "valgrind-e2e: the tests failed under valgrind (exit $status); see $logs/*.out"
  exit 1
fi
echo "valgrind-e2e: no memory error and no leak"
