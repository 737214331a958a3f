#include "compiler/size_line.h"

#include <string>

#include "compiler/tokenizer.h"
#include "driver/diagnostics.h"
#include "partsfile/parts_state.h"
#include "platform/ov_memory.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

// True when a slot below `index` holds a record named `name`.
bool NameUsedBelow(int index, std::string_view name) {
  const auto& table = PartsFileState::Instance().sizeTable;
  for (int i = 0; i < index; ++i) {
    if (table[i] != nullptr && table[i]->name.View() == name) {
      return true;
    }
  }
  return false;
}

}  // namespace

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
  std::unique_ptr<SizeRecord>& slot = PartsFileState::Instance().sizeTable[index];
  slot.reset();
  slot = OvNew<SizeRecord>();
  if (slot == nullptr) {
    return kSizeNoMemory;
  }
  slot->name.Assign(name);
  slot->title.Assign(title);
  // The record stays in its slot even when its name is taken; it is simply
  // not counted.
  if (NameUsedBelow(index, slot->name.View())) {
    return -1;
  }
  return 0;
}

}  // namespace partsc
