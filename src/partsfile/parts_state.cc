// The parts-file state of the process and its header accessors.
#include "partsfile/parts_state.h"

#include <algorithm>

namespace partsc {

namespace {

// Keeps the low 16 bits of a number, as every numeric header field does.
int16_t Low16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

void StoreOrFetch(HeaderAccess mode, int16_t& field, int32_t& value) {
  if (mode == kStore) {
    field = Low16(value);
    return;
  }
  value = field;
}

void StoreOrFetchApg(HeaderAccess mode, ApgBlock& block, std::array<std::string, 6>& slots) {
  for (size_t i = 0; i < block.size(); ++i) {
    if (mode == kStore) {
      block[i].Assign(slots[i]);
    } else {
      slots[i] = block[i].Str();
    }
  }
}

}  // namespace

void HeaderVersion(PartsFileState& state, HeaderAccess mode, int32_t& version,
                   std::string& comment) {
  PartsHeader& header = state.header;
  StoreOrFetch(mode, header.version, version);
  if (mode == kStore) {
    header.comment.Assign(comment);
    return;
  }
  comment = header.comment.Str();
}

void HeaderDate(PartsFileState& state, HeaderAccess mode, int32_t& day, int32_t& month,
                int32_t& year, int32_t& hour, int32_t& minute) {
  PartsHeader& header = state.header;
  StoreOrFetch(mode, header.createdDay, day);
  StoreOrFetch(mode, header.createdMonth, month);
  StoreOrFetch(mode, header.createdYear, year);
  StoreOrFetch(mode, header.createdHour, hour);
  StoreOrFetch(mode, header.createdMinute, minute);
}

void HeaderSpec(PartsFileState& state, HeaderAccess mode, int32_t& file, int32_t& record) {
  PartsHeader& header = state.header;
  StoreOrFetch(mode, header.specFile, file);
  StoreOrFetch(mode, header.specRecord, record);
}

void HeaderPartsValue1(PartsFileState& state, HeaderAccess mode, int32_t& value) {
  StoreOrFetch(mode, state.header.partsValue1, value);
}

void HeaderPartsValue2(PartsFileState& state, HeaderAccess mode, int32_t& value) {
  StoreOrFetch(mode, state.header.partsValue2, value);
}

void HeaderSizeCount(PartsFileState& state, HeaderAccess mode, int32_t& value) {
  StoreOrFetch(mode, state.header.sizeCount, value);
}

void HeaderSortMode(PartsFileState& state, HeaderAccess mode, int32_t& value) {
  StoreOrFetch(mode, state.header.sortMode, value);
}

void ApgNames(PartsFileState& state, HeaderAccess mode, std::array<std::string, 6>& slots) {
  StoreOrFetchApg(mode, state.apgNames, slots);
}

void ApgComments(PartsFileState& state, HeaderAccess mode, std::array<std::string, 6>& slots) {
  StoreOrFetchApg(mode, state.apgComments, slots);
}

void SetTitle(PartsFileState& state, std::string_view title) {
  state.header.title.Assign(title);
}

void GetTitle(const PartsFileState& state, std::string& title) {
  title = state.header.title.Str();
}

void CountApgComments(PartsFileState& state) {
  const auto count = std::count_if(state.apgComments.begin(), state.apgComments.end(),
                                   [](const auto& text) { return !text.Empty(); });
  state.header.apgCommentCount = static_cast<int16_t>(count);
}

void SetCommonOffset(PartsFileState& state, int32_t sizeCount) {
  const int64_t offset = SizeListOffset(state.header) + int64_t{kSizeRecordSize} * sizeCount;
  state.header.commonOffset = static_cast<int32_t>(offset);
}

bool HasCommonList(const PartsFileState& state) {
  return state.header.commonOffset != 0;
}

}  // namespace partsc
