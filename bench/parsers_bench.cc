// Figures of the source line parsers under large inputs: thousands of macros,
// macro expansion, a full size table and full member tables. Prints one line
// per figure; there is nothing to pass or fail.
#include <chrono>
#include <cstdio>
#include <string>

#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_state.h"

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

void BenchMacros(int count) {
  ClearMacros();
  auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    DefineMacro("MACRO_" + std::to_string(i), std::to_string(i));
  }
  Report("DefineMacro, distinct names", count, MillisecondsSince(start));

  start = Clock::now();
  int found = 0;
  for (int round = 0; round < 10; ++round) {
    for (int i = count - 1; i >= 0; --i) {
      found += FindMacro("MACRO_" + std::to_string(i)) >= 0 ? 1 : 0;
    }
  }
  Report("FindMacro, every name ten times", found, MillisecondsSince(start));
}

void BenchExpansion(int texts) {
  std::string source;
  for (int i = 0; i < 24; ++i) {
    source += "{MACRO_" + std::to_string(i * 97) + "}";
  }
  const auto start = Clock::now();
  int cut = 0;
  for (int i = 0; i < texts; ++i) {
    std::string text = source;
    cut += ExpandMacros(text, kParamTextMax);
  }
  Report("ExpandMacros, 24 references per text", texts, MillisecondsSince(start));
  std::printf("  (%d of %d expansions cut)\n", cut, texts);
}

void BenchSizes() {
  PartsFileState& state = PartsFileState::Instance();
  const auto start = Clock::now();
  for (int i = 0; i < kMaxSizes; ++i) {
    AddSize(i, "SIZE-NAME-" + std::to_string(i), "title");
  }
  Report("AddSize, full table (duplicate check)", kMaxSizes, MillisecondsSince(start));
  for (auto& record : state.sizeTable) {
    record.reset();
  }
}

void BenchMembers(int blocks) {
  const auto start = Clock::now();
  int lines = 0;
  for (int block = 0; block < blocks; ++block) {
    for (int i = 0; i < kMaxSpecEntries; ++i, ++lines) {
      CompileMemberLine("s [3] <" + std::to_string(i) + ",1> \"SPEC\"", lines);
    }
    for (int i = 0; i < kMaxParamEntries; ++i, ++lines) {
      CompileMemberLine("p !W! ({MACRO_1}+{MACRO_2}) <0,1> \"comment\"", lines);
    }
    DropBlockEntries();
  }
  Report("CompileMemberLine, full blocks", lines, MillisecondsSince(start));
}

}  // namespace
}  // namespace partsc

int main() {
  partsc::BenchMacros(5000);
  partsc::BenchExpansion(200000);
  partsc::BenchSizes();
  partsc::BenchMembers(20);
  partsc::ClearMacros();
  partsc::ClearTables();
  return 0;
}
