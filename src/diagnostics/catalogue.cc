#include "diagnostics/catalogue.h"

#include <array>
#include <string>

#include "diagnostics/diagnostics.h"
#include "platform/ov_session.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

// Name, text, severity, reported, field, then meaning, example and fix.
constexpr std::array<CatalogueEntry, kDiagFirstWarning + kWarningCount> kEntries = {{
    {"partsc-blank", " ", Severity::kNote, false, 0, "", "", ""},
    {"partsc-apg-list-write-error", "APG List Write Error", Severity::kError, true, 0, "", "", ""},
    {"partsc-apg-name-nothing", "APG Name is Nothing", Severity::kWarning, true, '!', "", "", ""},
    {"partsc-common-already-defined", "Common data already defined", Severity::kWarning, true, 0,
     "", "", ""},
    {"partsc-common-name-too-long", "Common size name too long (cut)", Severity::kWarning, true,
     '\"', "", "", ""},
    {"partsc-data-write-error", "Data Write Error", Severity::kError, true, 0, "", "", ""},
    {"partsc-header-write-error", "Header Write Error", Severity::kError, true, 0, "", "", ""},
    {"partsc-illegal-file-delete", "Illegal File Delete It", Severity::kError, true, 0, "", "", ""},
    {"partsc-illegal-param", "Illegal param defination", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-illegal-parts", "Illegal parts defination", Severity::kError, false, 0, "", "", ""},
    {"partsc-illegal-spec", "Illegal spec defination", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-input-open-error", "Input File Open Error", Severity::kError, true, 0, "", "", ""},
    {"partsc-end-not-found", "Keyword $$END not found", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-macro-name-nothing", "Macro Name Nothing", Severity::kWarning, true, '!', "", "", ""},
    {"partsc-macro-value-nothing", "Macro Value Nothing", Severity::kWarning, true, '(', "", "",
     ""},
    {"partsc-memory-allocate-error", "Memory Allocate Error", Severity::kError, true, 0, "", "",
     ""},
    {"partsc-not-parts-input", "Not Parts Input File", Severity::kError, true, 0, "", "", ""},
    {"partsc-not-parts-set-input", "Not Parts Set Input File", Severity::kError, false, 0, "", "",
     ""},
    {"partsc-parameter-char-over", "Parameter Char Over (cut)", Severity::kWarning, false, 0, "",
     "", ""},
    {"partsc-apg-list-already-defined", "Parts apg list already defined", Severity::kWarning, true,
     0, "", "", ""},
    {"partsc-parts-list-write-error", "Parts List Write Error", Severity::kError, false, 0, "", "",
     ""},
    {"partsc-parts-name-already-defined", "Parts name already defined", Severity::kWarning, true, 0,
     "", "", ""},
    {"partsc-parts-set-name-already-defined", "Parts Set name already defined", Severity::kWarning,
     false, 0, "", "", ""},
    {"partsc-parts-name-not-found", "Parts name not found", Severity::kError, true, 0, "", "", ""},
    {"partsc-parts-set-name-not-found", "Parts Set name not found", Severity::kError, false, 0, "",
     "", ""},
    {"partsc-parts-name-too-long", "Parts name too long (cut)", Severity::kWarning, true, '!', "",
     "", ""},
    {"partsc-parts-set-name-too-long", "Parts Set name too long (cut)", Severity::kWarning, false,
     0, "", "", ""},
    {"partsc-spec-already-defined", "Parts spec already defined", Severity::kWarning, true, 0, "",
     "", ""},
    {"partsc-parts-set-spec-already-defined", "Parts Set spec allredy defined", Severity::kWarning,
     false, 0, "", "", ""},
    {"partsc-parts-title-too-long", "Parts title too long (cut)", Severity::kWarning, true, '\"',
     "", "", ""},
    {"partsc-parts-set-title-too-long", "Parts Set title too long (cut)", Severity::kWarning, false,
     0, "", "", ""},
    {"partsc-parts-no-nothing", "Parts No. Nothing", Severity::kWarning, false, 0, "", "", ""},
    {"partsc-parts-no-not-constant", "Parts No. isn't Constant", Severity::kWarning, false, 0, "",
     "", ""},
    {"partsc-same-apg-name", "Same Apg Name Define", Severity::kWarning, true, '!', "", "", ""},
    {"partsc-size-list-write-error", "Size list Write Error", Severity::kError, true, 0, "", "",
     ""},
    {"partsc-size-title-too-long", "Size title too long (cut)", Severity::kWarning, true, '!', "",
     "", ""},
    {"partsc-size-member-too-many", "Size member too many", Severity::kWarning, true, 0, "", "",
     ""},
    {"partsc-size-name-multiple", "Size name multiple define", Severity::kError, true, '\"', "", "",
     ""},
    {"partsc-size-name-not-found", "Size name not found", Severity::kError, true, 0, "", "", ""},
    {"partsc-size-name-too-long", "Size name too long (cut)", Severity::kWarning, true, '\"', "",
     "", ""},
    {"partsc-title-too-long", "Title string too long", Severity::kWarning, true, '\"', "", "", ""},
    {"partsc-unknown-view-keyword", "Unknown View Keyword (Skip)", Severity::kWarning, true, 0, "",
     "", ""},
    {"partsc-unknown-view-name", "Unknown View Name (Skip)", Severity::kWarning, false, 0, "", "",
     ""},
    {"partsc-view-data-write-error", "View Data Write Error", Severity::kError, false, 0, "", "",
     ""},
    {"partsc-view-not-closed", "View Define Not Closed(not define)", Severity::kWarning, false, 0,
     "", "", ""},
    {"partsc-view-max-count-over", "View Max Count Over (Skip)", Severity::kWarning, false, 0, "",
     "", ""},
    {"partsc-view-name-nothing", "View Name Nothing (Skip)", Severity::kWarning, false, 0, "", "",
     ""},
    {"partsc-view-name-too-long", "View Name Too Long (Cut)", Severity::kWarning, false, 0, "", "",
     ""},
    {"partsc-view-not-exist", "View Not Exist", Severity::kWarning, false, 0, "", "", ""},
    {"partsc-unknown-common-keyword", "Unknown Common Keyword (Skip)", Severity::kWarning, true, 0,
     "", "", ""},
    {"partsc-unknown-size-keyword", "Unknown Size Keyword (Skip)", Severity::kWarning, true, 0, "",
     "", ""},
    {"partsc-view-already-defined", "%s already defined", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-control-open-error", "Input Control File Open Error", Severity::kError, true, 0, "",
     "", ""},
    {"partsc-run-log-open-error", "Log file TALVIREN.LOG open error", Severity::kError, true, 0, "",
     "", ""},
    {"partsc-parts-file-open-error", "File %s open error", Severity::kError, true, 0, "", "", ""},
    {"partsc-no-control-name", "No control file name", Severity::kError, true, 0, "", "", ""},
    {"partsc-unknown-keyword", "Unknown keyword %s", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-keyword-prefix", "%s is read as %s", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-undefined-macro", "Macro %s is not defined", Severity::kWarning, true, '{', "", "",
     ""},
    {"partsc-unclosed-field", "Closing %s missing", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-text-cut", "%s cut to %d characters", Severity::kWarning, true, 0, "", "", ""},
    {"partsc-long-line", "Line of %d characters read as %d lines", Severity::kWarning, true, 0, "",
     "", ""},
    {"partsc-carriage-return", "Carriage return at the line end", Severity::kWarning, true, 0, "",
     "", ""},
    {"partsc-parts-name", "Parts name %s is not a plain file name", Severity::kWarning, true, '!',
     "", "", ""},
    {"partsc-parts-file-twice", "Parts file %s written again in this run", Severity::kWarning, true,
     0, "", "", ""},
    {"partsc-size-dropped", "Size %s dropped: a parts file holds at most 2048 sizes",
     Severity::kWarning, true, '\"', "", "", ""},
}};

constexpr std::string_view kPrefix = "partsc-";

}  // namespace

std::span<const CatalogueEntry> Catalogue() {
  return kEntries;
}

const CatalogueEntry& CatalogueOf(DiagnosticId id) {
  if (id < 0 || static_cast<size_t>(id) >= kEntries.size()) {
    return kEntries[0];
  }
  return kEntries[static_cast<size_t>(id)];
}

const CatalogueEntry* FindCatalogueEntry(std::string_view name) {
  for (const CatalogueEntry& entry : kEntries) {
    if (entry.name == name || entry.name.substr(kPrefix.size()) == name) {
      return &entry;
    }
  }
  return nullptr;
}

bool FindWarning(std::string_view name, Warning& warning) {
  for (int i = 0; i < kWarningCount; ++i) {
    if (kEntries[static_cast<size_t>(kDiagFirstWarning + i)].name.substr(kPrefix.size()) == name) {
      warning = static_cast<Warning>(i);
      return true;
    }
  }
  return false;
}

namespace {

void PrintExplanation(const CatalogueEntry& entry) {
  const std::string text = std::string(entry.name) + ": " + std::string(entry.text) + "\n\n" +
                           std::string(entry.meaning) + "\n\nExample:\n" +
                           std::string(entry.example) + "\nFix: " + std::string(entry.fix) + "\n";
  dbgprint(kConsoleEcho, "%s", text.c_str());
}

}  // namespace

int ExplainDiagnostic(std::string_view name) {
  if (name == "all") {
    for (const CatalogueEntry& entry : kEntries) {
      if (entry.reported) {
        PrintExplanation(entry);
        dbgprint(kConsoleEcho, "\n");
      }
    }
    return 0;
  }
  const CatalogueEntry* entry = FindCatalogueEntry(name);
  if (entry == nullptr || !entry->reported) {
    Complain("no diagnostic is named '" + std::string(name) + "'");
    return 1;
  }
  PrintExplanation(*entry);
  return 0;
}

static_assert(kMessageCount == kDiagViewAlreadyDefined, "the table rows come first");

}  // namespace partsc
