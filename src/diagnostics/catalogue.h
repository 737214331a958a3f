// The catalogue of every diagnostic partsc can give: the rows of the message
// table, the few texts made outside it, the run-level failures and the
// warnings for silent changes. Each has a stable name ("partsc-illegal-param")
// that the structured formats, --explain and -W<name> use.
#pragma once

#include <span>
#include <string_view>

namespace partsc {

// Identifies a catalogue entry. 0 to 50 are the rows of MessageTable, in its
// order; the rest follow.
using DiagnosticId = int;

inline constexpr DiagnosticId kDiagViewAlreadyDefined = 51;  // "$TOP already defined"
inline constexpr DiagnosticId kDiagControlOpen = 52;
inline constexpr DiagnosticId kDiagRunLogOpen = 53;
inline constexpr DiagnosticId kDiagPartsFileOpen = 54;
inline constexpr DiagnosticId kDiagNoControlName = 55;
inline constexpr DiagnosticId kDiagFirstWarning = 56;

// The warnings for silent changes; each is off until -Wall or -W<name>.
enum class Warning : int {
  kUnknownKeyword,
  kKeywordPrefix,
  kUndefinedMacro,
  kUnclosedField,
  kTextCut,
  kLongLine,
  kCarriageReturn,
  kPartsName,
  kPartsFileTwice,
  kSizeDropped,
};
inline constexpr int kWarningCount = 10;

inline constexpr DiagnosticId WarningId(Warning warning) {
  return kDiagFirstWarning + static_cast<int>(warning);
}

enum class Severity { kError, kWarning, kNote };

struct CatalogueEntry {
  std::string_view name;  // "partsc-..."
  std::string_view text;  // the message as reported (a pattern for made texts)
  Severity severity;
  bool reported;  // false for table rows that nothing reports
  // The delimiter of the field the message is about; its first place on the
  // line gives the column. 0: the message is about the whole line.
  char field;
  // For --explain and the manual page: what it means, a minimal source that
  // causes it, how to fix it.
  std::string_view meaning;
  std::string_view example;
  std::string_view fix;
};

std::span<const CatalogueEntry> Catalogue();
const CatalogueEntry& CatalogueOf(DiagnosticId id);
// The entry named `name` ("partsc-illegal-param" or "illegal-param"), or null.
const CatalogueEntry* FindCatalogueEntry(std::string_view name);
// The warning named `name` (without "partsc-"); false when there is none.
bool FindWarning(std::string_view name, Warning& warning);

// --explain NAME: what the diagnostic means, a source that causes it and how
// to fix it, on standard output; "all" gives every reported one. 0, or 1 (with
// a line on standard error) when no diagnostic has that name.
int ExplainDiagnostic(std::string_view name);

}  // namespace partsc
