// What the compile of a source and its line parsers work on: the run's
// console and diagnostics, the macro table and the view flags.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "diagnostics/diagnostics.h"
#include "platform/ov_console.h"

namespace partsc {

class MacroTable;

// The six viewDefined flags: 1 when a view line for that view was accepted
// in the current $$APG block.
using ViewDefinedFlags = std::array<int32_t, kViewCount>;

struct CompileContext {
  OvConsole& console;
  Diagnostics& diagnostics;
  MacroTable& macros;
  ViewDefinedFlags& viewDefined;
  // Where a source file is read into; its room is kept from one source to
  // the next.
  std::string& sourceBytes;
};

}  // namespace partsc
