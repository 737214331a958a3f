// What the compile of a source and its line parsers work on: the run's
// console and diagnostics, the macro table and the view flags.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "diagnostics/diagnostics.h"
#include "partsfile/keywords.h"
#include "platform/ov_console.h"

namespace partsc {

class MacroTable;

// How a compile, one of its lines or one of its tables ended. ResultCode
// gives the classic result code of each.
enum class CompileStatus {
  kOk,
  kNotParts,           // a keyword line came before $$PARTS
  kInputUnreadable,    // the source cannot be read
  kPartsLineRefused,   // the $$PARTS line has no parts name
  kMemberLineRefused,  // a member line was refused
  kSizeLineRefused,    // a $$SIZE line has no size name
  kSizeNameTwice,      // a $$SIZE line names a size a second time
  kTableFull,          // a table holds no more entries
  kOutOfMemory,
  kOutputUnopened,  // the parts file cannot be opened
  kWriteFailed,     // a write to the parts file failed
  kInterrupted,     // a signal ended the compile between two lines
};

// The six viewDefined flags: 1 when a view line for that view was accepted
// in the current $$APG block.
using ViewDefinedFlags = std::array<int32_t, kViewCount>;

struct CompileContext {
  OvConsole& console;
  Diagnostics& diagnostics;
  MacroTable& macros;
  ViewDefinedFlags& viewDefined;
  // Where a source file is mapped or read into, its room kept from one
  // source to the next; the run reads the parts file back into it.
  OvFileBytes& sourceBytes;
  // After a line that ends the compile, read the rest of the source for its
  // diagnostics, each marked as found after the stop; nothing more is
  // written and the compile ends with the code of that line.
  bool readOn = false;
};

}  // namespace partsc
