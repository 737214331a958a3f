#!/usr/bin/env bash
# Builds the fuzz targets with clang++ and libFuzzer (ASan + UBSan) in
# build/fuzz/ and runs one target for the given number of seconds.
#   fuzz/run.sh TARGET SECONDS [extra libFuzzer flags...]
# New inputs go to build/fuzz/scratch/TARGET, never into the committed corpus
# fuzz/corpus/TARGET, which is only read. Crashes land in
# build/fuzz/artifacts/TARGET/.
set -euo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer flags...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
corpus=$root/fuzz/corpus/$target
if [ ! -d "$corpus" ]; then
  echo "run.sh: no corpus for $target in $corpus" >&2
  exit 2
fi

(cd "$root" && cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target "$target" >/dev/null)

scratch=$build/scratch/$target
artifacts=$build/artifacts/$target
mkdir -p "$scratch" "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec "$build/fuzz/$target" "$scratch" "$corpus" \
  -dict="$root/fuzz/$target.dict" \
  -max_total_time="$seconds" \
  -max_len=8192 \
  -timeout=10 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix="$artifacts/" \
  "$@"
