// The catalogue of every diagnostic partsc can give: the rows of the message
// table, the few texts made outside it, the run-level failures and the
// warnings for silent changes. It is the one list of their texts; each has a
// stable name ("partsc-illegal-param") that the structured formats, --explain
// and -W<name> use.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Severity and Consequence: the public enums the library's records carry.
#include <partsc/diagnostic.h>

namespace partsc {

class OvConsole;

// The warnings for silent changes, listed once: both DiagnosticId (after
// the run-level failures) and Warning take their enumerators from here.
#define PARTSC_WARNINGS(X) \
  X(kUnknownKeyword)       \
  X(kKeywordPrefix)        \
  X(kUndefinedMacro)       \
  X(kUnclosedField)        \
  X(kTextCut)              \
  X(kLongLine)             \
  X(kCarriageReturn)       \
  X(kPartsName)            \
  X(kPartsFileTwice)       \
  X(kSizeDropped)          \
  X(kEmptyControl)         \
  X(kCommentNamesFile)     \
  X(kCommonNameDropped)    \
  X(kAfterEnd)             \
  X(kNoPartsLine)          \
  X(kSplitCharacter)       \
  X(kMemberOutsideBlock)
#define PARTSC_ENUMERATOR(name) name,
#define PARTSC_ONE(name) +1

// Identifies a catalogue entry. The first 51 are the rows of MessageTable,
// in its order; the rest follow.
enum class DiagnosticId : int {
  kBlank,
  kApgListWriteError,
  kApgNameNothing,
  kCommonAlreadyDefined,
  kCommonNameTooLong,
  kDataWriteError,
  kHeaderWriteError,
  kIllegalFileDelete,
  kIllegalParam,
  kIllegalParts,
  kIllegalSpec,
  kInputFileOpenError,
  kEndNotFound,
  kMacroNameNothing,
  kMacroValueNothing,
  kMemoryAllocateError,
  kNotPartsInputFile,
  kNotPartsSetInputFile,
  kParameterCharOver,
  kApgListAlreadyDefined,
  kPartsListWriteError,
  kPartsNameAlreadyDefined,
  kPartsSetNameAlreadyDefined,
  kPartsNameNotFound,
  kPartsSetNameNotFound,
  kPartsNameTooLong,
  kPartsSetNameTooLong,
  kPartsSpecAlreadyDefined,
  kPartsSetSpecAlreadyDefined,
  kPartsTitleTooLong,
  kPartsSetTitleTooLong,
  kPartsNoNothing,
  kPartsNoNotConstant,
  kSameApgName,
  kSizeListWriteError,
  kSizeTitleTooLong,
  kSizeMemberTooMany,
  kSizeNameMultiple,
  kSizeNameNotFound,
  kSizeNameTooLong,
  kTitleTooLong,
  kUnknownViewKeyword,
  kUnknownViewName,
  kViewDataWriteError,
  kViewNotClosed,
  kViewMaxCountOver,
  kViewNameNothing,
  kViewNameTooLong,
  kViewNotExist,
  kUnknownCommonKeyword,
  kUnknownSizeKeyword,
  // "%s already defined", made with a view keyword.
  kViewAlreadyDefined,
  // Failures of the whole run, or of one parts file, shown on the console
  // only (at level 4) in the classic format.
  kControlOpen,
  kRunLogOpen,
  kPartsFileOpen,
  kNoControlName,
  // A signal that ended the run: on standard error and in the error log.
  kInterrupted,
  // A settings file the run cannot take: on standard error (the language
  // server shows it on each document).
  kSettingsFile,
  // The warnings for silent changes.
  PARTSC_WARNINGS(PARTSC_ENUMERATOR)
};

// The number of message table rows; the table's 40-character slots hold
// texts of at most 39 characters.
inline constexpr int kMessageCount = 51;
inline constexpr int kMessageSlotSize = 40;

// The warnings for silent changes; each is off until -Wall or -W<name>.
enum class Warning : int { PARTSC_WARNINGS(PARTSC_ENUMERATOR) };
inline constexpr int kWarningCount = 0 PARTSC_WARNINGS(PARTSC_ONE);
inline constexpr int kDiagnosticCount =
    static_cast<int>(DiagnosticId::kUnknownKeyword) + kWarningCount;

#undef PARTSC_ONE
#undef PARTSC_ENUMERATOR
#undef PARTSC_WARNINGS

inline constexpr DiagnosticId WarningId(Warning warning) {
  return static_cast<DiagnosticId>(static_cast<int>(DiagnosticId::kUnknownKeyword) +
                                   static_cast<int>(warning));
}

// The severity letter of the error log and the console: "E", "W", or " "
// where no severity is printed.
std::string_view SeverityLabel(Severity severity);

// How a diagnostic shows in the error log: "\t*** E *** TEXT[LINE]",
// "\t*** E *** TEXT[EXTRA]" or "\t*** E *** TEXT".
enum class Form { kLine, kExtra, kBare };

// The severity the structured forms (GNU, JSON, SARIF), the library and the
// language server give: an error for every message after which the compile
// stops or the parts file is not written, whatever its letter ("Illegal
// param defination" is a "W" in the error log); otherwise the letter's.
constexpr Severity ConsequenceSeverity(Consequence consequence, Severity letter) {
  return consequence == Consequence::kGoesOn ? letter : Severity::kError;
}

struct CatalogueEntry {
  DiagnosticId id;
  std::string_view name;  // "partsc-..."
  std::string_view text;  // the message as reported (a pattern for made texts)
  Severity severity;
  Form form;
  Consequence consequence;
  // The delimiter of the field the message is about; its first place on the
  // line gives the column. 0: the message is about the whole line.
  char field = 0;
  // For --explain and the manual page: what it means, a minimal source that
  // causes it, how to fix it.
  std::string_view meaning = {};
  std::string_view example = {};
  std::string_view fix = {};

  // Whether anything reports it: every entry that is reported is explained,
  // and only those are (some rows of the message table are never reported).
  constexpr bool Reported() const { return !meaning.empty(); }
};

std::span<const CatalogueEntry> Catalogue();
const CatalogueEntry& CatalogueOf(DiagnosticId id);
// The entry named `name` ("partsc-illegal-param" or "illegal-param"), or null.
const CatalogueEntry* FindCatalogueEntry(std::string_view name);
// The warning named `name` (without "partsc-"), if there is one.
std::optional<Warning> FindWarning(std::string_view name);

// The message of a diagnostic as it is reported: the entry's text, or for a
// made text its pattern with `argument` put in ("$TOP already defined").
std::string MessageText(DiagnosticId id, std::string_view argument);

// The 51 texts of the message table, taken from the catalogue.
extern const std::array<std::string_view, kMessageCount> MessageTable;

// The reported entries `query` names: by its stable name (with or without
// "partsc-"), as a line of any form carries it, by the message as reported
// (an error-log line too: "*** W *** Illegal param defination[19]"), or by
// a piece of a message's text, in any case. Empty when nothing matches.
std::vector<const CatalogueEntry*> FindExplained(std::string_view query);
// The `count` reported entries whose name or text is nearest `query`.
std::vector<const CatalogueEntry*> NearestEntries(std::string_view query, size_t count);

// The edits that make one word into the other: insertions, removals,
// changes and, with `swaps`, swaps of neighbours.
int EditDistance(std::string_view from, std::string_view to, bool swaps = true);

// --explain NAME: what the diagnostic NAME names (see FindExplained) means, a
// source that causes it and how to fix it, on the console's standard
// output; "all" gives every reported one. 0, or 1 with two lines on standard
// error (the nearest names) when nothing matches.
int ExplainDiagnostic(OvConsole& console, std::string_view name);

}  // namespace partsc
