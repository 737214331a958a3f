#!/usr/bin/env bash
# Builds the benchmarks and measures partsc against the I/O floor on generated
# libraries; prints one table (see docs/benchmarks.md). Arguments go to
# partsc_bench: --quick, --runs N, --work DIR, --only abcd, --keep.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --bench

cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc 2>/dev/null || echo 2)" \
  --target partsc partsc_bench partsc_check_bench partsc_gen_library partsc_parsers_bench \
  partsc_partsfile_bench partsc_atomic_bench >/dev/null
exec build/bench/bench/partsc_bench "$@"
