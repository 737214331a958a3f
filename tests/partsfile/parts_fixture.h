// Shared set-up of the parts-file tests: a clean process-wide state, a
// temporary directory, and small drivers that write a parts file in the order
// of a compile and read it back in the order of the listing.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "partsfile/parts_file.h"
#include "partsfile/parts_reader.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_faults.h"
#include "support/test_support.h"

namespace partsc::testing {

struct Spec {
  int number = 1;
  int inverted = 0;
  std::string name = {};
  int record = 0;
};
struct Param {
  std::string name;
  std::string text = {};
  int pairCode = 0;
  std::string comment = {};
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
// What a compile puts into the state before it writes.
struct Source {
  std::array<std::string, 6> apgNames{"VIEW"};
  std::array<std::string, 6> apgComments{};
  std::string comment = {};
  int sortMode = 0;
  std::optional<Block> common = std::nullopt;
  std::vector<Size> sizes = {};
};

inline PartsFileState& State() {
  return PartsFileState::Instance();
}

inline void FillTables(const Block& block) {
  PartsFileState& state = State();
  for (const Spec& s : block.specs) {
    state.specTable[static_cast<size_t>(state.specCount++)].reset(
        new SpecEntry{static_cast<uint16_t>(s.number), static_cast<uint16_t>(s.inverted),
                      static_cast<uint16_t>(s.record), s.name});
  }
  for (const Param& p : block.params) {
    state.paramTable[static_cast<size_t>(state.paramCount++)].reset(
        new ParamEntry{p.name, static_cast<int16_t>(p.pairCode), p.text, p.comment});
  }
}

inline void LoadSource(const Source& source) {
  ClearTables();
  PartsFileState& state = State();
  for (size_t i = 0; i < source.sizes.size(); ++i) {
    state.sizeTable[i] = std::make_unique<SizeRecord>();
    state.sizeTable[i]->name.Assign(source.sizes[i].name);
    state.sizeTable[i]->title.Assign(source.sizes[i].title);
  }
  auto names = source.apgNames;
  auto comments = source.apgComments;
  ApgNames(0, names);
  ApgComments(0, comments);
  CountApgComments();
  state.header.version = kPartsVersion;
  state.header.comment.Assign(source.comment);
  state.header.sizeCount = static_cast<int16_t>(source.sizes.size());
  state.header.sortMode = static_cast<int16_t>(source.sortMode);
  if (source.common.has_value()) {
    SetCommonOffset(state.header.sizeCount);
  }
}

// Writes `source` in the calling order of a compile: the first non-zero
// result, else 0.
inline int WriteSource(const Source& source, const std::string& path) {
  LoadSource(source);
  int result = OpenPartsFile(1, path);
  result = result != 0 ? result : WriteHeader();
  result = result != 0 ? result : WriteApgList();
  BeginMemberLists();
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
// tables after each size's members are read. The first non-zero result (15
// from ReadSizeList excepted), else 0.
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
      visit(i, name);
    }
  }
  ClosePartsFile();
  return result;
}

inline int ReadBack(const std::string& path) {
  return ReadBack(path, [](int, const std::string&) {});
}

// The spec entries [specFrom, specTo) and param entries [paramFrom, paramTo)
// of the tables, one line each.
inline std::string Entries(int specFrom, int specTo, int paramFrom, int paramTo) {
  std::ostringstream out;
  for (int i = specFrom; i < specTo; ++i) {
    int32_t number, inverted, record;
    std::string name;
    GetSpecEntry(i, number, inverted, name, record);
    out << "s " << number << "," << inverted << "," << record << " " << name << "\n";
  }
  for (int i = paramFrom; i < paramTo; ++i) {
    int32_t pairCode;
    std::string name, text, comment;
    GetParamEntry(i, &name, &text, pairCode, &comment);
    out << "p " << name << " (" << text << ") " << pairCode << " \"" << comment << "\"\n";
  }
  return out.str();
}

// The entries of the size read last, without the common ones.
inline std::string SizeEntries() {
  const PartsFileState& s = State();
  return Entries(s.commonSpecCount, s.specCount, s.commonParamCount, s.paramCount);
}

// A block as Entries shows it read back: a number whose low 8 bits are 0
// reads as 256, a record as its low 8 bits.
inline std::string Dump(const Block& block) {
  std::ostringstream out;
  for (const Spec& s : block.specs) {
    out << "s " << ((s.number & 0xFF) == 0 ? 256 : s.number & 0xFF) << "," << s.inverted << ","
        << (s.record & 0xFF) << " " << s.name << "\n";
  }
  for (const Param& p : block.params) {
    out << "p " << p.name << " (" << p.text << ") " << p.pairCode << " \"" << p.comment << "\"\n";
  }
  return out.str();
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
  }
  std::string Path(const std::string& name = "parts.prt") const { return dir_.File(name); }

  TempDir dir_;
};

}  // namespace partsc::testing
