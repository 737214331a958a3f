// The one parts-file state of the process: the header record, the view
// blocks and the tables, with the header accessors, and what the writer and
// the reader keep of the open parts file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "partsfile/parts_layout.h"
#include "partsfile/parts_tables.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc {

// The first argument of the header accessors.
inline constexpr int kStore = 0;
inline constexpr int kFetch = 1;

// The one parts-file state of the process. The compile and the listing use it
// one after the other; ClearTables starts each of them.
struct PartsFileState {
  static PartsFileState& Instance() { return instance_; }

  PartsHeader header;
  ApgBlock apgNames;
  ApgBlock apgComments;
  SizeTable sizeTable;
  SizeNameIndex sizeNames;
  std::array<std::unique_ptr<SpecEntry>, kMaxSpecEntries> specTable;
  int32_t specCount = 0;
  int32_t commonSpecCount = 0;
  std::array<std::unique_ptr<ParamEntry>, kMaxParamEntries> paramTable;
  int32_t paramCount = 0;
  int32_t commonParamCount = 0;
  SpareEntries<SpecEntry, kMaxSpecEntries> spareSpecs;
  SpareEntries<ParamEntry, kMaxParamEntries> spareParams;

  // The parts file object, shared by the writer and the reader.
  OvFileIO partsFile;
  // Whatever a run does to one parts file (its backup, write, read back and
  // removal) happens under an advisory lock of the parts directory, taken by
  // OpenPartsFile for writing and let go by ReleasePartsFile.
  OvFileLock directoryLock;
  // With kOpenForReplacing: the lock file of the parts file, and the parts
  // file whose new content waits with the temporary file that holds it.
  OvFileLock fileLock;
  struct Replacement {
    std::string path;
    std::string temporary;
  };
  std::unique_ptr<Replacement> pending;
  // Writer state.
  int32_t memberWritePosition = 0;
  bool listStartPending = false;
  std::vector<uint8_t> memberListBytes;  // the list being written
  // Reader state: the length of the file open for reading (-1 until the
  // reader first asks) and the bytes it read last, kept from
  // readWindowStart on. Every open, close and write forgets them.
  static constexpr int kReadWindowSize = 4096;
  int64_t readFileEnd = -1;
  int64_t readWindowStart = 0;
  int32_t readWindowLength = 0;
  std::array<uint8_t, kReadWindowSize> readWindow{};
  void ForgetRead() {
    readFileEnd = -1;
    readWindowLength = 0;
  }

 private:
  static PartsFileState instance_;
};

// Initialised at compile time, so that Instance() needs no first-use check.
inline constinit PartsFileState PartsFileState::instance_{};

// Header accessors: mode kStore (0) stores the caller's values, any other mode
// (kFetch) fetches them. Numbers keep their low 16 bits and fetch
// sign-extended.
void HeaderVersion(int mode, int32_t& version, std::string& comment);
void HeaderDate(int mode, int32_t& day, int32_t& month, int32_t& year, int32_t& hour,
                int32_t& minute);
void HeaderSpec(int mode, int32_t& file, int32_t& record);
void HeaderPartsValue1(int mode, int32_t& value);
void HeaderPartsValue2(int mode, int32_t& value);
void HeaderSizeCount(int mode, int32_t& value);
void HeaderSortMode(int mode, int32_t& value);
// Six APG texts, cut to 31 characters when stored.
void ApgNames(int mode, std::array<std::string, 6>& slots);
void ApgComments(int mode, std::array<std::string, 6>& slots);

void SetTitle(std::string_view title);
void GetTitle(std::string& title);
void CountApgComments();
void SetCommonOffset(int32_t sizeCount);
bool HasCommonList();

// Start of the size records: 460, or 664 with the APG comment block.
int32_t SizeListOffset();
// Start of the member-list area: SizeListOffset() + 72 x sizeCount.
int32_t MemberListsOffset();

}  // namespace partsc
