// What the compile of a source and its line parsers work on: the run's
// console and diagnostics, the parts-file state the lines fill, the macro
// table and the view flags.
#pragma once

#include <array>
#include <cstdint>

#include "diagnostics/diagnostics.h"
#include "partsfile/parts_state.h"
#include "platform/ov_console.h"

namespace partsc {

class MacroTable;

// The six viewDefined flags: 1 when a view line for that view was accepted
// in the current $$APG block.
using ViewDefinedFlags = std::array<int32_t, kViewCount>;

struct CompileContext {
  OvConsole& console;
  Diagnostics& diagnostics;
  PartsFileState& state;
  MacroTable& macros;
  ViewDefinedFlags& viewDefined;
};

}  // namespace partsc
