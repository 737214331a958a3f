// The $$PARTS line, macro lines and the macro table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "partsfile/result_codes.h"

namespace partsc {

inline constexpr int kPartsNameMax = 22;
inline constexpr int kPartsCommentMax = 64;
inline constexpr int kMacroTextMax = 64;
inline constexpr int kMacroGrowth = 256;

// 0, or -1 when the line has no parts name. value1/value2 are written only
// when their list item is a number; the caller sets them to 0 first.
int CompilePartsLine(std::string_view line, int lineNumber, std::string& partsName,
                     std::string& comment, int32_t& value1, int32_t& value2);
// 0 (also when the line was refused with a warning), or 109 out of memory.
int CompileMacroLine(std::string_view line, int lineNumber);

int FindMacro(std::string_view name);
int DefineMacro(std::string_view name, std::string_view value);
// Copies the value into `value` and answers 0, or answers -1 and leaves it.
int GetMacroValue(std::string_view name, std::string& value);
// The same, with the value as a view of the table's own copy, good until the
// macro is defined again or the table is cleared.
int GetMacroValue(std::string_view name, std::string_view& value);
void ClearMacros();
// The table's size counters, for tests and benchmarks.
int32_t MacroCount();
int32_t MacroCapacity();

}  // namespace partsc
