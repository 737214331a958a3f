#include "compiler/view_list.h"

#include <cstdint>

#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_console.h"

namespace partsc {

namespace {

// Longest APG name or comment taken from a line; a slot keeps kApgTextMax.
constexpr int kViewFieldMax = 64;

bool NameTaken(const ViewDefinedFlags& viewDefined, const std::string& name,
               const ApgSlots& names) {
  for (int i = 0; i < kViewCount; ++i) {
    if (viewDefined[i] == 1 && names[i] == name) {
      return true;
    }
  }
  return false;
}

// A view text as its slot keeps it: cut to 31 characters, silently like every
// other view text but for the lint.
std::string SlotText(CompileContext& context, std::string_view line, std::string_view text,
                     std::string_view what, char delimiter) {
  if (text.size() > static_cast<size_t>(kApgTextMax)) {
    LintFieldCut(context.diagnostics, what, line, delimiter, kApgTextMax);
  }
  return std::string(text.substr(0, kApgTextMax));
}

}  // namespace

void CompileViewLine(CompileContext& context, std::string_view line, int lineNumber,
                     ApgSlots& names, ApgSlots& comments) {
  ViewDefinedFlags& viewDefined = context.viewDefined;
  const int view = ViewOf(line);
  if (view < 0) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kUnknownViewKeyword, lineNumber);
    LintViewKeyword(context.diagnostics, line, view);
    return;
  }
  const std::string keyword(kViewKeywords[static_cast<size_t>(view)]);
  LintViewKeyword(context.diagnostics, line, view);
  if (viewDefined[view] == 1) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kViewAlreadyDefined, lineNumber, keyword);
    return;
  }
  const LineField nameField = ExtractField(line, '!', kViewFieldMax);
  if (!nameField.Found()) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kApgNameNothing, lineNumber);
    return;
  }
  // The name is cut before it is compared, so two names equal in their first
  // 31 characters are the same name.
  const std::string name = SlotText(context, line, nameField.text, "APG name", '!');
  if (NameTaken(viewDefined, name, names)) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kSameApgName, lineNumber);
    return;
  }
  names[view] = name;

  comments[view] =
      SlotText(context, line, ExtractField(line, '"', kViewFieldMax).text, "APG comment", '"');

  viewDefined[view] = 1;
  dbgprint(context.console, kConsoleProgress, "\tapg %s\t\t%s\n", keyword.c_str(), name.c_str());
}

}  // namespace partsc
