// $$SIZE lines.
#pragma once

#include <string_view>

#include "compiler/compile_context.h"
#include "partsfile/result_codes.h"

namespace partsc {

inline constexpr int kSizeNameMax = 32;
inline constexpr int kSizeTitleMax = 32;
inline constexpr int kSizeDuplicate = 20;

// 0 stored, kTableFull (200), -1 no size name, kSizeDuplicate (20) name used
// twice, kNoMemory (109). The record goes in with AddSize.
int CompileSizeLine(CompileContext& context, std::string_view line, int sizeIndex, int lineNumber);

}  // namespace partsc
