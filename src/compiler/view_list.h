// View lines of the $$APG block.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "compiler/compile_context.h"

namespace partsc {

using ApgSlots = std::array<std::string, 6>;

// Parses one view line into the APG name and comment slots; every problem is
// a warning and the compile goes on.
void CompileViewLine(CompileContext& context, std::string_view line, int lineNumber,
                     ApgSlots& names, ApgSlots& comments);

}  // namespace partsc
