#include "compiler/size_line.h"

#include <new>
#include <string>

#include "compiler/parts_line.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_console.h"
#include "platform/ov_faults.h"

namespace partsc {

CompileStatus SizeTable::Add(std::string_view name, std::string_view title) {
  if (sizes_.size() >= static_cast<size_t>(kMaxSizes)) {
    return CompileStatus::kTableFull;
  }
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return CompileStatus::kOutOfMemory;
  }
  try {
    const auto [at, added] = index_.try_emplace(std::string(name), sizes_.size());
    if (!added) {
      return CompileStatus::kSizeNameTwice;
    }
    PartsSize& size = sizes_.emplace_back();
    size.record.name.AssignCut(name);
    size.record.title.AssignCut(title);
  } catch (const std::bad_alloc&) {
    return CompileStatus::kOutOfMemory;
  }
  return CompileStatus::kOk;
}

std::optional<size_t> SizeTable::Find(std::string_view name) const {
  const auto found = index_.find(std::string(name));
  return found == index_.end() ? std::nullopt : std::optional(found->second);
}

CompileStatus CompileSizeLine(CompileContext& context, std::string_view line, int lineNumber,
                              SizeTable& sizes) {
  const std::string_view name = TakeField(
      context, line, lineNumber, {'"', kSizeTextSize, DiagnosticId::kSizeNameTooLong, "Size name"});
  if (name.empty()) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameNotFound, lineNumber);
    return CompileStatus::kSizeLineRefused;
  }
  dbgprint(context.console, kConsoleProgress, "\tSize name\t\t%.*s\n",
           static_cast<int>(name.size()), name.data());
  const std::string_view title =
      TakeField(context, line, lineNumber,
                {'!', kSizeTextSize, DiagnosticId::kSizeTitleTooLong, "Size title"});

  const CompileStatus result = sizes.Add(name, title);
  if (result == CompileStatus::kTableFull) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeMemberTooMany, lineNumber);
  } else if (result == CompileStatus::kOutOfMemory) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
  } else if (result == CompileStatus::kSizeNameTwice) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSizeNameMultiple, lineNumber);
  }
  return result;
}

}  // namespace partsc
