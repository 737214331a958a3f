// $$SIZE lines and the size table.
#pragma once

#include <string_view>

namespace partsc {

inline constexpr int kSizeNameMax = 32;
inline constexpr int kSizeTitleMax = 32;
inline constexpr int kSizeTableFull = 200;
inline constexpr int kSizeDuplicate = 20;
inline constexpr int kSizeNoMemory = 109;

// 0 stored, 200 table full, -1 no size name, 20 name used twice, 109 out of
// memory.
int CompileSizeLine(std::string_view line, int sizeIndex, int lineNumber);
// 0 stored, 200 index outside the table, 109 out of memory, -1 duplicate name
// (the record stays in its slot, uncounted).
int AddSize(int index, std::string_view name, std::string_view title);

}  // namespace partsc
