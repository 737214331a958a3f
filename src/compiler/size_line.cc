#include "compiler/size_line.h"

#include <string>

#include "compiler/tokenizer.h"
#include "driver/diagnostics.h"
#include "partsfile/parts_state.h"
#include "platform/ov_memory.h"
#include "platform/ov_util.h"

namespace partsc {

int CompileSizeLine(std::string_view line, int sizeIndex, int lineNumber) {
  std::string name;
  const int nameResult = ExtractField(line, '"', kSizeNameMax, name);
  if (nameResult < 0) {
    ReportLine(kSeverityError, kMsgSizeNameNotFound, lineNumber);
    return -1;
  }
  if (nameResult == kFieldCut) {
    ReportLine(kSeverityWarning, kMsgSizeNameTooLong, lineNumber);
  }
  dbgprint(2, "\tSize name\t\t%s\n", name.c_str());

  std::string title;
  if (ExtractField(line, '!', kSizeTitleMax, title) == kFieldCut) {
    ReportLine(kSeverityWarning, kMsgSizeTitleTooLong, lineNumber);
  }

  const int result = AddSize(sizeIndex, name, title);
  if (result == kSizeTableFull) {
    ReportLine(kSeverityWarning, kMsgSizeMemberTooMany, lineNumber);
    return kSizeTableFull;
  }
  if (result == kSizeNoMemory) {
    ReportBare(kSeverityError, kMsgMemoryAllocateError);
    return kSizeNoMemory;
  }
  if (result < 0) {
    ReportLine(kSeverityError, kMsgSizeNameMultiple, lineNumber);
    return kSizeDuplicate;
  }
  return 0;
}

int AddSize(int index, std::string_view name, std::string_view title) {
  if (index < 0 || index >= kMaxSizes) {
    return kSizeTableFull;
  }
  PartsFileState& state = PartsFileState::Instance();
  std::unique_ptr<SizeRecord>& slot = state.sizeTable[index];
  // The names of the slots below, which a compile fills from 0 upwards.
  state.sizeNames.Cover(state.sizeTable, index);
  slot.reset();
  slot = OvNew<SizeRecord>();
  if (slot == nullptr) {
    return kSizeNoMemory;
  }
  slot->name.Assign(name);
  slot->title.Assign(title);
  // The record stays in its slot even when its name is taken; it is simply
  // not counted.
  if (state.sizeNames.Find(state.sizeTable, slot->name.View()) >= 0) {
    return -1;
  }
  state.sizeNames.Cover(state.sizeTable, index + 1);
  return 0;
}

}  // namespace partsc
