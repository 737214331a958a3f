// $$SIZE lines and the sizes of a compile.
#pragma once

#include <partsc/model.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/compile_context.h"

namespace partsc {

// The sizes of a compile in the order of their $$SIZE lines, at most 2048,
// each name once, with the names indexed.
class SizeTable {
 public:
  explicit SizeTable(std::vector<PartsSize>& sizes) : sizes_(sizes) {}

  // Appends a size: kOk, kTableFull (2048 sizes already), kOutOfMemory, or
  // kSizeNameTwice when a size has that name (nothing is appended then). The
  // size counts as one allocation to the test seam.
  CompileStatus Add(std::string_view name, std::string_view title);
  // The index of the size of that name; none when there is none.
  std::optional<size_t> Find(std::string_view name) const;

 private:
  std::vector<PartsSize>& sizes_;
  std::unordered_map<std::string, size_t> index_;
};

// kOk added, kTableFull, kSizeLineRefused (no size name), kSizeNameTwice,
// kOutOfMemory.
CompileStatus CompileSizeLine(CompileContext& context, std::string_view line, int lineNumber,
                              SizeTable& sizes);

}  // namespace partsc
