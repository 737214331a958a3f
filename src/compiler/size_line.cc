#include "compiler/size_line.h"

#include <string>

#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_tables.h"
#include "partsfile/result_codes.h"
#include "platform/ov_console.h"

namespace partsc {

int CompileSizeLine(CompileContext& context, std::string_view line, int sizeIndex, int lineNumber) {
  std::string name;
  const int nameResult = ExtractField(line, '"', kSizeNameMax, name);
  if (nameResult < 0) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameNotFound, lineNumber);
    return -1;
  }
  if (nameResult == kFieldCut) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameTooLong, lineNumber);
    LintFieldCut(context.diagnostics, "Size name", line, '"', kSizeNameMax, true);
  }
  dbgprint(context.console, kConsoleProgress, "\tSize name\t\t%s\n", name.c_str());

  std::string title;
  if (ExtractField(line, '!', kSizeTitleMax, title) == kFieldCut) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeTitleTooLong, lineNumber);
    LintFieldCut(context.diagnostics, "Size title", line, '!', kSizeTitleMax, true);
  }

  const int result = AddSize(context.state, sizeIndex, name, title);
  if (result == kTableFull) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeMemberTooMany, lineNumber);
    return kTableFull;
  }
  if (result == kNoMemory) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
    return kNoMemory;
  }
  if (result == kSizeNameTaken) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameMultiple, lineNumber);
    return kSizeDuplicate;
  }
  return 0;
}

}  // namespace partsc
