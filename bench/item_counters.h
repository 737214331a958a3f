// The counters every micro-benchmark reports: items per second, and its
// inverse per_item, the time of one item.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

namespace partsc::bench {

inline void CountItems(benchmark::State& state, int64_t itemsPerIteration) {
  state.SetItemsProcessed(state.iterations() * itemsPerIteration);
  state.counters["per_item"] = benchmark::Counter(
      static_cast<double>(itemsPerIteration),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace partsc::bench
