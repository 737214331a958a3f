// Shared set-up of the parts-file tests: a clean process-wide state, a
// temporary directory, and a small driver that writes a parts file in the
// order of a compile and reads it back in the order of the listing.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "partsfile/parts_reader.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_faults.h"
#include "support/test_support.h"

namespace partsc::testing {

struct Spec {
  int number = 1;
  int inverted = 0;
  std::string name;
  int record = 0;
};

struct Param {
  std::string name;
  std::string text = {};
  int pairCode = 0;
  std::optional<std::string> comment = std::nullopt;
};

struct Block {
  std::vector<Spec> specs = {};
  std::vector<Param> params = {};
};

struct Size {
  std::string name;
  std::string title = {};
  Block members = {};
};

// What a compile would put into the state.
struct Source {
  std::array<std::string, 6> apgNames{"VIEW"};
  std::array<std::string, 6> apgComments{};
  std::string comment;
  std::string title;
  int sortMode = 0;
  int specFile = 0;
  int specRecord = 0;
  int partsValue1 = 0;
  int partsValue2 = 0;
  std::optional<Block> common;
  std::vector<Size> sizes;
};

inline PartsFileState& State() {
  return PartsFileState::Instance();
}

inline void FillTables(const Block& block) {
  PartsFileState& state = State();
  for (const Spec& spec : block.specs) {
    auto entry = std::make_unique<SpecEntry>();
    *entry = {static_cast<uint16_t>(spec.number), static_cast<uint16_t>(spec.inverted),
              static_cast<uint16_t>(spec.record), spec.name};
    state.specTable[static_cast<size_t>(state.specCount++)] = std::move(entry);
  }
  for (const Param& param : block.params) {
    auto entry = std::make_unique<ParamEntry>();
    *entry = {param.name, static_cast<int16_t>(param.pairCode), param.text, param.comment};
    state.paramTable[static_cast<size_t>(state.paramCount++)] = std::move(entry);
  }
}

inline void AddSizeRecord(int slot, const std::string& name, const std::string& title) {
  auto record = std::make_unique<SizeRecord>();
  record->name.Assign(name);
  record->title.Assign(title);
  State().sizeTable[static_cast<size_t>(slot)] = std::move(record);
}

// Fills the state from `source` as the compile does before it writes.
inline void LoadSource(const Source& source) {
  ClearTables();
  for (size_t i = 0; i < source.sizes.size(); ++i) {
    AddSizeRecord(static_cast<int>(i), source.sizes[i].name, source.sizes[i].title);
  }
  auto names = source.apgNames;
  auto comments = source.apgComments;
  ApgNames(0, names);
  ApgComments(0, comments);
  CountApgComments();
  int32_t day = 5, month = 12, year = 2026, hour = 15, minute = 57;
  HeaderDate(0, day, month, year, hour, minute);
  int32_t version = kPartsVersion;
  std::string comment = source.comment;
  HeaderVersion(0, version, comment);
  int32_t specFile = source.specFile, specRecord = source.specRecord;
  HeaderSpec(0, specFile, specRecord);
  int32_t value1 = source.partsValue1, value2 = source.partsValue2;
  HeaderPartsValue1(0, value1);
  HeaderPartsValue2(0, value2);
  int32_t count = static_cast<int32_t>(source.sizes.size());
  HeaderSizeCount(0, count);
  SetTitle(source.title);
  int32_t sortMode = source.sortMode;
  HeaderSortMode(0, sortMode);
  if (source.common.has_value()) {
    SetCommonOffset(count);
  }
}

// Writes `source` to `path` in the calling order of a compile; the first
// non-zero result, else 0.
inline int WriteSource(const Source& source, const std::string& path) {
  LoadSource(source);
  if (int result = OpenPartsFile(1, path); result != 0) {
    return result;
  }
  int result = WriteHeader();
  result = result != 0 ? result : WriteApgList();
  if (result == 0 && (source.common.has_value() || !source.sizes.empty())) {
    BeginMemberLists();
  }
  if (result == 0 && source.common.has_value()) {
    FillTables(*source.common);
    result = WriteMemberList(std::nullopt);
    DropBlockEntries();
  }
  for (size_t i = 0; result == 0 && i < source.sizes.size(); ++i) {
    FillTables(source.sizes[i].members);
    result = WriteMemberList(source.sizes[i].name);
    DropBlockEntries();
  }
  result = result != 0 ? result : WriteSizeList();
  ClosePartsFile();
  return result;
}

// Reads `path` back in the calling order of the listing; `visit` sees the
// tables after each size's members are read. The first non-zero result
// (15 from ReadSizeList excepted), else 0.
template <class Visit>
int ReadBack(const std::string& path, Visit visit) {
  ClearTables();
  int result = OpenPartsFile(0, path);
  result = result != 0 ? result : ReadHeader();
  result = result != 0 ? result : ReadApgList();
  if (result == 0) {
    result = ReadSizeList();
    result = result == kReadNoSizes ? 0 : result;
  }
  if (result == 0 && HasCommonList()) {
    result = ReadCommonList();
  }
  for (int i = 0; result == 0 && i < State().header.sizeCount; ++i) {
    DropBlockEntries();
    std::string name;
    GetSizeName(i, name);
    result = ReadSizeMembers(name);
    if (result == 0) {
      visit(i);
    }
  }
  ClosePartsFile();
  return result;
}

inline int ReadBack(const std::string& path) {
  return ReadBack(path, [](int) {});
}

class PartsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

  static void Reset() {
    OvFaults::Reset();
    ClosePartsFile();
    for (auto& slot : State().sizeTable) {
      slot.reset();
    }
    ClearTables();
    State().listStartPending = false;
    State().memberWritePosition = 0;
  }

  std::string Path(const std::string& name = "parts.prt") const { return dir_.File(name); }

  TempDir dir_;
};

}  // namespace partsc::testing
