// The parts-file state of the process and its header accessors.
#include "partsfile/parts_state.h"

#include <algorithm>

namespace partsc {

namespace {

constexpr int32_t kSizeListWithoutComments = kApgOffset + kApgBlockSize;
constexpr int32_t kSizeListWithComments = kApgOffset + 2 * kApgBlockSize;

// Keeps the low 16 bits of a number, as every numeric header field does.
int16_t Low16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

void StoreOrFetch(int mode, int16_t& field, int32_t& value) {
  if (mode == kStore) {
    field = Low16(value);
    return;
  }
  value = field;
}

void StoreOrFetchApg(int mode, ApgBlock& block, std::array<std::string, 6>& slots) {
  for (size_t i = 0; i < block.size(); ++i) {
    if (mode == kStore) {
      block[i].Assign(slots[i]);
    } else {
      slots[i] = block[i].Str();
    }
  }
}

}  // namespace

int32_t SizeListOffset() {
  const PartsHeader& header = PartsFileState::Instance().header;
  return header.apgCommentCount != 0 ? kSizeListWithComments : kSizeListWithoutComments;
}

int32_t MemberListsOffset() {
  const int64_t offset =
      SizeListOffset() + int64_t{kSizeRecordSize} * PartsFileState::Instance().header.sizeCount;
  return static_cast<int32_t>(offset);
}

void HeaderVersion(int mode, int32_t& version, std::string& comment) {
  PartsHeader& header = PartsFileState::Instance().header;
  StoreOrFetch(mode, header.version, version);
  if (mode == kStore) {
    header.comment.Assign(comment);
    return;
  }
  comment = header.comment.Str();
}

void HeaderDate(int mode, int32_t& day, int32_t& month, int32_t& year, int32_t& hour,
                int32_t& minute) {
  PartsHeader& header = PartsFileState::Instance().header;
  StoreOrFetch(mode, header.createdDay, day);
  StoreOrFetch(mode, header.createdMonth, month);
  StoreOrFetch(mode, header.createdYear, year);
  StoreOrFetch(mode, header.createdHour, hour);
  StoreOrFetch(mode, header.createdMinute, minute);
}

void HeaderSpec(int mode, int32_t& file, int32_t& record) {
  PartsHeader& header = PartsFileState::Instance().header;
  StoreOrFetch(mode, header.specFile, file);
  StoreOrFetch(mode, header.specRecord, record);
}

void HeaderPartsValue1(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.partsValue1, value);
}

void HeaderPartsValue2(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.partsValue2, value);
}

void HeaderSizeCount(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.sizeCount, value);
}

void HeaderSortMode(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.sortMode, value);
}

void ApgNames(int mode, std::array<std::string, 6>& slots) {
  StoreOrFetchApg(mode, PartsFileState::Instance().apgNames, slots);
}

void ApgComments(int mode, std::array<std::string, 6>& slots) {
  StoreOrFetchApg(mode, PartsFileState::Instance().apgComments, slots);
}

void SetTitle(std::string_view title) {
  PartsFileState::Instance().header.title.Assign(title);
}

void GetTitle(std::string& title) {
  title = PartsFileState::Instance().header.title.Str();
}

void CountApgComments() {
  PartsFileState& state = PartsFileState::Instance();
  const auto count = std::count_if(state.apgComments.begin(), state.apgComments.end(),
                                   [](const auto& text) { return !text.Empty(); });
  state.header.apgCommentCount = static_cast<int16_t>(count);
}

void SetCommonOffset(int32_t sizeCount) {
  const int64_t offset = SizeListOffset() + int64_t{kSizeRecordSize} * sizeCount;
  PartsFileState::Instance().header.commonOffset = static_cast<int32_t>(offset);
}

bool HasCommonList() {
  return PartsFileState::Instance().header.commonOffset != 0;
}

}  // namespace partsc
