#include "compiler/size_line.h"

#include <string>

#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_tables.h"
#include "partsfile/result_codes.h"
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
  dbgprint(kConsoleProgress, "\tSize name\t\t%s\n", name.c_str());

  std::string title;
  if (ExtractField(line, '!', kSizeTitleMax, title) == kFieldCut) {
    ReportLine(kSeverityWarning, kMsgSizeTitleTooLong, lineNumber);
  }

  const int result = AddSize(sizeIndex, name, title);
  if (result == kTableFull) {
    ReportLine(kSeverityWarning, kMsgSizeMemberTooMany, lineNumber);
    return kTableFull;
  }
  if (result == kNoMemory) {
    ReportBare(kSeverityError, kMsgMemoryAllocateError);
    return kNoMemory;
  }
  if (result == kSizeNameTaken) {
    ReportLine(kSeverityError, kMsgSizeNameMultiple, lineNumber);
    return kSizeDuplicate;
  }
  return 0;
}

}  // namespace partsc
