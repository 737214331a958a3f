#!/usr/bin/env bash
# Runs the end-to-end tests (and the whole-run tests of tests/faults) with the
# test programs and every partsc run they start under valgrind's memcheck,
# then sums up the reports: any memory error or leak in a partsc run fails
# the script.
# Not part of CI (it takes minutes); run it by hand:  fuzz/valgrind-e2e.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-valgrind
logs=$build/valgrind-logs
"$root/scripts/install-deps.sh" --tests --valgrind

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build "$build" --target partsc partsc_e2e_tests partsc_faults_tests -j 2 >/dev/null
rm -rf "$logs"
mkdir -p "$logs"

# System programs the tests start (man, groff, sh...) are not followed.
memcheck=(valgrind --tool=memcheck --trace-children=yes
  --trace-children-skip='/usr/*,/bin/*,/sbin/*' --leak-check=full
  --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible
  --log-file="$logs/vg.%p.log")

start=$(date +%s)
status=0
"${memcheck[@]}" "$build/tests/partsc_e2e_tests" >"$logs/e2e.out" 2>&1 || status=$?
"${memcheck[@]}" "$build/tests/partsc_faults_tests" --gtest_filter='NothingLost.*' \
  >"$logs/faults.out" 2>&1 || status=$?
seconds=$(($(date +%s) - start))

partsc_logs=$(grep -l 'Command: .*/partsc\( \|$\)' "$logs"/vg.*.log || true)
runner_logs=$(grep -L 'Command: .*/partsc\( \|$\)' "$logs"/vg.*.log || true)
partsc_runs=$(echo "$partsc_logs" | grep -c . || true)
echo "valgrind-e2e: $partsc_runs partsc runs under memcheck in ${seconds}s"

# Findings in the test programs themselves are shown, but only partsc decides.
# (A forked test program that went on into a program not followed leaves a
# log without a summary.)
for log in $runner_logs; do
  if grep -q 'ERROR SUMMARY: [1-9]' "$log"; then
    echo "valgrind-e2e: note: memcheck reports in the test program ($log):"
    grep -E 'Command:|ERROR SUMMARY|^==[0-9]+== (Invalid|Use of|Conditional)|definitely|indirectly' "$log"
  fi
done

dirty=""
for log in $partsc_logs; do
  grep -q 'ERROR SUMMARY: 0 errors' "$log" || dirty="$dirty $log"
done
if [ -n "$dirty" ]; then
  echo "valgrind-e2e: memcheck found errors or leaks in partsc runs:"
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
echo "valgrind-e2e: no memory error and no leak in any partsc run"
