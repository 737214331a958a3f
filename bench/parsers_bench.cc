// Figures of the source line parsers under large inputs: thousands of macros,
// macro expansion, a full size table and full member tables. Prints one line
// per figure; there is nothing to pass or fail.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_tables.h"
#include "platform/ov_console.h"

namespace partsc {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Report(const char* what, int operations, double milliseconds) {
  std::printf("%-44s %8d ops %10.3f ms %10.1f ns/op\n", what, operations, milliseconds,
              milliseconds * 1e6 / operations);
}

// The objects a compile works on; the console is in memory and quiet.
struct Bench {
  Bench() : diagnostics(console, "") { console.SetQuiet(true); }
  OvConsole console{OvConsole::InMemory{}};
  Diagnostics diagnostics;
  std::unique_ptr<PartsFileState> state = std::make_unique<PartsFileState>();
  MacroTable macros;
  ViewDefinedFlags viewDefined{};
  CompileContext context{console, diagnostics, *state, macros, viewDefined};
};

void BenchMacros(Bench& bench, int count) {
  MacroTable& macros = bench.macros;
  ClearMacros(macros);
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    DefineMacro(macros, "MACRO_" + std::to_string(i), std::to_string(i));
  }
  Report("DefineMacro, distinct names", count, MillisecondsSince(start));

  start = Clock::now();
  int found = 0;
  for (int round = 0; round < 10; ++round) {
    for (int i = count - 1; i >= 0; --i) {
      found += FindMacro(macros, "MACRO_" + std::to_string(i)) >= 0 ? 1 : 0;
    }
  }
  Report("FindMacro, every name ten times", found, MillisecondsSince(start));
}

void BenchExpansion(const Bench& bench, int texts) {
  std::string source;
  for (int i = 0; i < 24; ++i) {
    source += "{MACRO_" + std::to_string(i * 97) + "}";
  }
  const auto start = Clock::now();
  int cut = 0;
  for (int i = 0; i < texts; ++i) {
    std::string text = source;
    cut += ExpandMacros(bench.macros, text, kParamTextMax);
  }
  Report("ExpandMacros, 24 references per text", texts, MillisecondsSince(start));
  std::printf("  (%d of %d expansions cut)\n", cut, texts);
}

void BenchSizes(Bench& bench) {
  PartsFileState& state = *bench.state;
  const auto start = Clock::now();
  for (int i = 0; i < kMaxSizes; ++i) {
    AddSize(state, i, "SIZE-NAME-" + std::to_string(i), "title");
  }
  Report("AddSize, full table (duplicate check)", kMaxSizes, MillisecondsSince(start));
  for (auto& record : state.sizeTable) {
    record.reset();
  }
}

void BenchMembers(Bench& bench, int blocks) {
  const auto start = Clock::now();
  int lines = 0;
  for (int block = 0; block < blocks; ++block) {
    for (int i = 0; i < kMaxSpecEntries; ++i, ++lines) {
      CompileMemberLine(bench.context, "s [3] <" + std::to_string(i) + ",1> \"SPEC\"", lines);
    }
    for (int i = 0; i < kMaxParamEntries; ++i, ++lines) {
      CompileMemberLine(bench.context, "p !W! ({MACRO_1}+{MACRO_2}) <0,1> \"comment\"", lines);
    }
    DropBlockEntries(*bench.state);
  }
  Report("CompileMemberLine, full blocks", lines, MillisecondsSince(start));
}

}  // namespace
}  // namespace partsc

int main() {
  const auto bench = std::make_unique<partsc::Bench>();
  partsc::BenchMacros(*bench, 5000);
  partsc::BenchExpansion(*bench, 200000);
  partsc::BenchSizes(*bench);
  partsc::BenchMembers(*bench, 20);
  return 0;
}
