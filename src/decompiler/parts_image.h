// What a parts file holds, as the reader gives it back, and whether a
// source can bring it back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "partsfile/parts_layout.h"

namespace partsc {

// The keyword of each sort mode, 0 to 2.
inline constexpr std::array<const char*, 3> kSortKeywords = {"$$LSORT", "$$CSORT", "$$NSORT"};

struct MemberList {
  int64_t offset = 0;
  int64_t length = 0;  // bytes in the file, end record included
  std::vector<SpecEntry> specs;
  std::vector<ParamEntry> params;
};

struct SizeEntry {
  std::string name;
  std::string title;
  MemberList members;
};

// One member list of the member-list area after the common one, in file
// order, with the $$SIZE line that brings it back.
struct Block {
  MemberList members;
  int record = -1;  // index into PartsImage::sizes of the record pointing here
  std::string name;
  std::string title;
};

struct PartsImage {
  std::string bytes;
  std::string baseName;
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  std::string comment;
  int32_t specFile = 0;
  int32_t specRecord = 0;
  int32_t value1 = 0;
  int32_t value2 = 0;
  int32_t sizeCount = 0;
  int32_t sortMode = 0;
  int32_t apgCommentCount = 0;
  std::string title;
  std::array<std::string, 6> apgNames;
  std::array<std::string, 6> apgComments;
  std::optional<MemberList> common;
  std::vector<SizeEntry> sizes;  // in the order of the size records
  std::vector<Block> blocks;     // in the order of their member lists
};

// A text as a reason may show it: control characters become '?', so that
// the reason stays on one line.
std::string Shown(std::string_view text);

// Loads the whole parts file at `path` (whose bytes `image.bytes` already
// holds) into `image`; empty, or why the file cannot come back from a source.
std::string LoadImage(const std::string& path, PartsImage& image);
// Gives every block the name (and title) its $$SIZE line must carry; empty,
// or why the blocks cannot be named so.
std::string NameBlocks(PartsImage& image);
// Empty, or why the size records cannot come back in their order.
std::string CheckSizeOrder(const PartsImage& image);

}  // namespace partsc
