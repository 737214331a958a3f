// A parts file to be brought back from a source: its model, and its member
// lists in file order, each with the $$SIZE line that writes it again.
#pragma once

#include <partsc/model.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "decompiler/decompile.h"

namespace partsc {

// One member list of the member-list area after the common one, in file
// order, with the $$SIZE line that brings it back.
struct Block {
  const MemberList* members = nullptr;  // in the model
  int record = -1;                      // index into model.sizes of the record pointing here
  std::string name;
  std::string title;
};

// The parts file being recovered: its bytes, its model, the parts name its
// file name gives, and its blocks. The blocks point into the model, so a
// Recovery stays where it is made.
struct Recovery {
  Recovery() = default;
  Recovery(const Recovery&) = delete;
  Recovery& operator=(const Recovery&) = delete;

  std::string bytes;
  PartsModel model;
  std::string baseName;
  std::vector<Block> blocks;
};

// A text as a reason may show it: control characters become '?', so that
// the reason stays on one line.
std::string Shown(std::string_view text);

// Puts the member lists after the common one into `recovery.blocks`, in file
// order; kNotRecoverable when the lists do not follow each other as a
// compile writes them.
DecompileResult OrderBlocks(Recovery& recovery);
// Gives every block the name (and title) its $$SIZE line must carry;
// kNotRecoverable when the blocks cannot be named so.
DecompileResult NameBlocks(Recovery& recovery);
// kNotRecoverable when the size records cannot come back in their order.
DecompileResult CheckSizeOrder(const Recovery& recovery);

}  // namespace partsc
