#include "compiler/size_line.h"

#include <new>
#include <string>

#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_console.h"
#include "platform/ov_faults.h"

namespace partsc {

int SizeTable::Add(std::string_view name, std::string_view title) {
  if (sizes_.size() >= static_cast<size_t>(kMaxSizes)) {
    return kTableFull;
  }
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return kNoMemory;
  }
  try {
    const auto [at, added] = index_.try_emplace(std::string(name), static_cast<int>(sizes_.size()));
    if (!added) {
      return kSizeNameTaken;
    }
    PartsSize& size = sizes_.emplace_back();
    size.record.name.AssignCut(name);
    size.record.title.AssignCut(title);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return 0;
}

int SizeTable::Find(std::string_view name) const {
  const auto found = index_.find(std::string(name));
  return found == index_.end() ? -1 : found->second;
}

int CompileSizeLine(CompileContext& context, std::string_view line, int lineNumber,
                    SizeTable& sizes) {
  std::string_view name;
  const int nameResult = ExtractField(line, '"', kSizeNameMax, name);
  if (nameResult < 0) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameNotFound, lineNumber);
    return -1;
  }
  if (nameResult == kFieldCut) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameTooLong, lineNumber);
    LintFieldCut(context.diagnostics, "Size name", line, '"', kSizeNameMax, true);
  }
  dbgprint(context.console, kConsoleProgress, "\tSize name\t\t%.*s\n",
           static_cast<int>(name.size()), name.data());

  std::string_view title;
  if (ExtractField(line, '!', kSizeTitleMax, title) == kFieldCut) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeTitleTooLong, lineNumber);
    LintFieldCut(context.diagnostics, "Size title", line, '!', kSizeTitleMax, true);
  }

  const int result = sizes.Add(name, title);
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
