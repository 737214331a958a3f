// The parts-file state: the header record, the view blocks and the tables,
// with the header accessors.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "partsfile/parts_layout.h"
#include "partsfile/parts_tables.h"

namespace partsc {

// Whether a header accessor stores the caller's values or fetches the
// record's.
enum class HeaderAccess { kStore, kFetch };
inline constexpr HeaderAccess kStore = HeaderAccess::kStore;
inline constexpr HeaderAccess kFetch = HeaderAccess::kFetch;

// The parts-file state of a run: the header record, the view blocks and the
// tables. The compile and the listing use it one after the other;
// ClearTables starts each of them.
struct PartsFileState {
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
};

// Header accessors: kStore stores the caller's values, kFetch fetches them.
// Numbers keep their low 16 bits and fetch sign-extended.
void HeaderVersion(PartsFileState& state, HeaderAccess mode, int32_t& version,
                   std::string& comment);
void HeaderDate(PartsFileState& state, HeaderAccess mode, int32_t& day, int32_t& month,
                int32_t& year, int32_t& hour, int32_t& minute);
void HeaderSpec(PartsFileState& state, HeaderAccess mode, int32_t& file, int32_t& record);
void HeaderPartsValue1(PartsFileState& state, HeaderAccess mode, int32_t& value);
void HeaderPartsValue2(PartsFileState& state, HeaderAccess mode, int32_t& value);
void HeaderSizeCount(PartsFileState& state, HeaderAccess mode, int32_t& value);
void HeaderSortMode(PartsFileState& state, HeaderAccess mode, int32_t& value);
// Six APG texts, cut to 31 characters when stored.
void ApgNames(PartsFileState& state, HeaderAccess mode, std::array<std::string, 6>& slots);
void ApgComments(PartsFileState& state, HeaderAccess mode, std::array<std::string, 6>& slots);

void SetTitle(PartsFileState& state, std::string_view title);
void GetTitle(const PartsFileState& state, std::string& title);
void CountApgComments(PartsFileState& state);
void SetCommonOffset(PartsFileState& state, int32_t sizeCount);
bool HasCommonList(const PartsFileState& state);

}  // namespace partsc
