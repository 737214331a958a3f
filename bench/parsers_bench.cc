// The source line parsers under large inputs: thousands of macros, macro
// expansion, a full size table and full member tables. Each benchmark reports
// items_per_second and per_item, the time of one operation (one macro defined
// or found, one text expanded, one size added, one member line compiled).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "compiler/member_line.h"
#include "compiler/member_table.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "diagnostics/diagnostics.h"
#include "item_counters.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_console.h"

namespace partsc {
namespace {

using bench::CountItems;

constexpr int kMacros = 5000;

// The objects a compile works on; the console is in memory and quiet.
struct Bench {
  Bench() : diagnostics(console, "") { console.SetQuiet(true); }
  OvConsole console{OvConsole::InMemory{}};
  Diagnostics diagnostics;
  MacroTable macros;
  ViewDefinedFlags viewDefined{};
  OvFileBytes sourceBytes;
  CompileContext context{console, diagnostics, macros, viewDefined, sourceBytes};
  MemberTable members;
};

void DefineMacros(MacroTable& macros) {
  macros.Clear();
  for (int i = 0; i < kMacros; ++i) {
    macros.Define("MACRO_" + std::to_string(i), std::to_string(i));
  }
}

std::unique_ptr<Bench> BenchWithMacros() {
  auto bench = std::make_unique<Bench>();
  DefineMacros(bench->macros);
  return bench;
}

void BM_DefineMacroDistinctNames(benchmark::State& state) {
  const auto bench = std::make_unique<Bench>();
  for (auto _ : state) {
    DefineMacros(bench->macros);
    benchmark::DoNotOptimize(bench->macros);
  }
  CountItems(state, kMacros);
}
BENCHMARK(BM_DefineMacroDistinctNames)->Unit(benchmark::kMicrosecond);

void BM_FindMacroEveryName(benchmark::State& state) {
  const auto bench = BenchWithMacros();
  int found = 0;
  for (auto _ : state) {
    for (int i = kMacros - 1; i >= 0; --i) {
      found += bench->macros.Find("MACRO_" + std::to_string(i)) ? 1 : 0;
    }
  }
  benchmark::DoNotOptimize(found);
  if (found != state.iterations() * kMacros) {
    state.SkipWithError("a defined macro was not found");
  }
  CountItems(state, kMacros);
}
BENCHMARK(BM_FindMacroEveryName)->Unit(benchmark::kMicrosecond);

void BM_ExpandMacros24References(benchmark::State& state) {
  const auto bench = BenchWithMacros();
  std::string source;
  for (int i = 0; i < 24; ++i) {
    source += "{MACRO_" + std::to_string(i * 97) + "}";
  }
  int64_t cut = 0;
  for (auto _ : state) {
    const Expansion expansion = ExpandMacros(bench->macros, source, kParamTextLimit);
    cut += expansion.cut ? 1 : 0;
    benchmark::DoNotOptimize(expansion);
  }
  CountItems(state, 1);
  // The share of expansions cut at the length limit.
  state.counters["cut"] =
      benchmark::Counter(static_cast<double>(cut), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ExpandMacros24References);

void BM_AddSizeFullTable(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<PartsSize> sizes;
    SizeTable table(sizes);
    for (int i = 0; i < kMaxSizes; ++i) {
      table.Add("SIZE-NAME-" + std::to_string(i), "title");
    }
    benchmark::DoNotOptimize(sizes);
  }
  CountItems(state, kMaxSizes);
}
BENCHMARK(BM_AddSizeFullTable)->Unit(benchmark::kMicrosecond);

// One iteration compiles a full block: every spec entry, then every param
// entry with a text that uses two macros.
void BM_CompileMemberLineFullBlock(benchmark::State& state) {
  const auto bench = BenchWithMacros();
  int lines = 0;
  for (auto _ : state) {
    for (int i = 0; i < kMaxSpecEntries; ++i, ++lines) {
      CompileMemberLine(bench->context, "s [3] <" + std::to_string(i) + ",1> \"SPEC\"", lines,
                        bench->members);
    }
    for (int i = 0; i < kMaxParamEntries; ++i, ++lines) {
      CompileMemberLine(bench->context, "p !W! ({MACRO_1}+{MACRO_2}) <0,1> \"comment\"", lines,
                        bench->members);
    }
    bench->members.Clear();
  }
  CountItems(state, kMaxSpecEntries + kMaxParamEntries);
}
BENCHMARK(BM_CompileMemberLineFullBlock)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace partsc
