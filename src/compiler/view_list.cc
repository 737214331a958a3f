#include "compiler/view_list.h"

#include <cstdint>

#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_state.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

// Longest APG name or comment taken from a line; a slot keeps kApgTextMax.
constexpr int kViewFieldMax = 64;

// The six process-wide viewDefined flags: 1 when a view line for that view
// was accepted in the current $$APG block.
std::array<int32_t, kViewCount>& ViewDefined() {
  static std::array<int32_t, kViewCount> flags{};
  return flags;
}

// The view index of the keyword that starts the line, or -1.
int FindView(std::string_view line) {
  for (int i = 0; i < kViewCount; ++i) {
    const ViewName& view = ViewNameTable[i];
    if (line.substr(0, static_cast<size_t>(view.length)) == view.keyword) {
      return i;
    }
  }
  return -1;
}

void Warn(std::string_view text, int lineNumber) {
  ReportDiagnostic(kDiagWithLine, kSeverityWarning, text, lineNumber, {});
}

bool NameTaken(const std::string& name, const ApgSlots& names) {
  for (int i = 0; i < kViewCount; ++i) {
    if (ViewDefined()[i] == 1 && names[i] == name) {
      return true;
    }
  }
  return false;
}

}  // namespace

void CompileViewLine(std::string_view line, int lineNumber, ApgSlots& names, ApgSlots& comments) {
  const int view = FindView(line);
  if (view < 0) {
    ReportLine(kSeverityWarning, kMsgUnknownViewKeyword, lineNumber);
    return;
  }
  const char* keyword = ViewNameTable[view].keyword;
  LintViewKeyword(line, keyword);
  if (ViewDefined()[view] == 1) {
    Warn(std::string(keyword) + " already defined", lineNumber);
    return;
  }
  std::string name;
  if (ExtractField(line, '!', kViewFieldMax, name) < 0) {
    ReportLine(kSeverityWarning, kMsgApgNameNothing, lineNumber);
    return;
  }
  // A slot holds 31 characters: the name is cut, silently like every other
  // view text, before it is compared, so two names equal in their first 31
  // characters are the same name.
  if (name.size() > static_cast<size_t>(kApgTextMax)) {
    LintCut("APG name", name.size(), kApgTextMax, static_cast<int>(line.find('!')));
    name.resize(kApgTextMax);
  }
  if (NameTaken(name, names)) {
    ReportLine(kSeverityWarning, kMsgSameApgName, lineNumber);
    return;
  }
  names[view] = name;

  std::string comment;
  ExtractField(line, '"', kViewFieldMax, comment);
  if (comment.size() > static_cast<size_t>(kApgTextMax)) {
    LintCut("APG comment", comment.size(), kApgTextMax, static_cast<int>(line.find('"')));
    comment.resize(kApgTextMax);
  }
  comments[view] = comment;

  ViewDefined()[view] = 1;
  dbgprint(kConsoleProgress, "\tapg %s\t\t%s\n", keyword, name.c_str());
}

void ResetViewDefined() {
  ViewDefined().fill(0);
}

bool IsViewDefined(int viewIndex) {
  if (viewIndex < 0 || viewIndex >= kViewCount) {
    return false;
  }
  return ViewDefined()[viewIndex] == 1;
}

}  // namespace partsc
