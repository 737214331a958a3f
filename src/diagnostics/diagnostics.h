// Diagnostics: the error log of a run, the message table and the view names.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "diagnostics/catalogue.h"

namespace partsc {

// Severity labels.
inline constexpr const char* kSeverityNone = " ";
inline constexpr const char* kSeverityError = "E";
inline constexpr const char* kSeverityWarning = "W";

// Modes of ReportDiagnostic.
inline constexpr int kDiagOpenLog = 0;
inline constexpr int kDiagCloseLog = 1;
inline constexpr int kDiagInputSection = 2;
inline constexpr int kDiagWithLine = 3;
inline constexpr int kDiagWithExtra = 4;
inline constexpr int kDiagBare = 5;

// Indices into MessageTable.
enum Message : int {
  kMsgBlank = 0,
  kMsgApgListWriteError = 1,
  kMsgApgNameNothing = 2,
  kMsgCommonAlreadyDefined = 3,
  kMsgCommonNameTooLong = 4,
  kMsgDataWriteError = 5,
  kMsgHeaderWriteError = 6,
  kMsgIllegalFileDelete = 7,
  kMsgIllegalParam = 8,
  kMsgIllegalParts = 9,
  kMsgIllegalSpec = 10,
  kMsgInputFileOpenError = 11,
  kMsgEndNotFound = 12,
  kMsgMacroNameNothing = 13,
  kMsgMacroValueNothing = 14,
  kMsgMemoryAllocateError = 15,
  kMsgNotPartsInputFile = 16,
  kMsgNotPartsSetInputFile = 17,
  kMsgParameterCharOver = 18,
  kMsgApgListAlreadyDefined = 19,
  kMsgPartsListWriteError = 20,
  kMsgPartsNameAlreadyDefined = 21,
  kMsgPartsSetNameAlreadyDefined = 22,
  kMsgPartsNameNotFound = 23,
  kMsgPartsSetNameNotFound = 24,
  kMsgPartsNameTooLong = 25,
  kMsgPartsSetNameTooLong = 26,
  kMsgPartsSpecAlreadyDefined = 27,
  kMsgPartsSetSpecAlreadyDefined = 28,
  kMsgPartsTitleTooLong = 29,
  kMsgPartsSetTitleTooLong = 30,
  kMsgPartsNoNothing = 31,
  kMsgPartsNoNotConstant = 32,
  kMsgSameApgName = 33,
  kMsgSizeListWriteError = 34,
  kMsgSizeTitleTooLong = 35,
  kMsgSizeMemberTooMany = 36,
  kMsgSizeNameMultiple = 37,
  kMsgSizeNameNotFound = 38,
  kMsgSizeNameTooLong = 39,
  kMsgTitleTooLong = 40,
  kMsgUnknownViewKeyword = 41,
  kMsgUnknownViewName = 42,
  kMsgViewDataWriteError = 43,
  kMsgViewNotClosed = 44,
  kMsgViewMaxCountOver = 45,
  kMsgViewNameNothing = 46,
  kMsgViewNameTooLong = 47,
  kMsgViewNotExist = 48,
  kMsgUnknownCommonKeyword = 49,
  kMsgUnknownSizeKeyword = 50,
};

inline constexpr int kMessageCount = 51;
inline constexpr int kMessageSlotSize = 40;
extern const std::array<const char*, kMessageCount> MessageTable;

inline constexpr int kViewCount = 6;
struct ViewName {
  const char* keyword;
  int length;
};
// "$TOP", "$BOTTOM", "$FRONT", "$BACK", "$LEFT", "$RIGHT": the position is the
// view index everywhere.
extern const std::array<ViewName, kViewCount> ViewNameTable;

// Reports through the one error log of the process; see the modes above.
// Modes 2 to 5 write nothing, console included, while no error log is open.
void ReportDiagnostic(int mode, const char* severity, std::string_view text, int lineNumber,
                      std::string_view extra);

// Shorthands for the common forms.
inline void ReportLine(const char* severity, Message message, int lineNumber) {
  ReportDiagnostic(kDiagWithLine, severity, MessageTable[message], lineNumber, {});
}
inline void ReportBare(const char* severity, Message message) {
  ReportDiagnostic(kDiagBare, severity, MessageTable[message], 0, {});
}

// One diagnostic as the structured formats see it. The error log and the
// console keep their own fixed lines; a record carries what they leave out.
struct DiagnosticRecord {
  DiagnosticId id = 0;
  std::string file;  // the file it is about, as the run names it; empty: none
  int line = 0;      // the physical line in that file; 0: none
  int column = 0;    // from 1; 0: none
  Severity severity = Severity::kError;
  std::string message;  // the message text (for table rows, the row's text)
  int logLine = 0;      // the line number the error log shows; 0: none
  std::string extra;    // the extra text the error log shows in brackets
  std::string reason;   // the system's reason for an I/O failure
};

// Receives every record of the run; Finish comes once at its end and answers
// false when what the sink writes could not be written.
class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void Emit(const DiagnosticRecord& record) = 0;
  virtual bool Finish() { return true; }
};

// How diagnostics show on the console: the error-log lines echoed on standard
// output (the default), or one record a line on standard error instead.
enum class DiagnosticsFormat { kClassic, kGnu, kJson };

// The line being read: the number the error log counts (pieces of at most
// 79 characters), the line in the file, and the column of the piece's first
// character. `text` stays valid until the next line is read.
struct LinePosition {
  int logLine = 0;
  int physicalLine = 0;
  int startColumn = 1;
  std::string_view text;
};

// Kept by the setters below so that the compile can ask once per line, for
// next to nothing, whether to do any diagnostics work beyond the classic lines.
namespace diagnostics_state {
inline bool recordsWanted = false;   // a sink is present or the format is not classic
inline bool warningsWanted = false;  // a warning is enabled
}  // namespace diagnostics_state

// Whether any warning is on: the line checks of the compile are skipped
// otherwise.
inline bool WarningsWanted() {
  return diagnostics_state::warningsWanted;
}
// Whether the line being read matters: a record names it, or a warning may
// point at it.
inline bool ReportLineWanted() {
  return diagnostics_state::recordsWanted || diagnostics_state::warningsWanted;
}

// Structured output: the format of the console, and sinks beside it (the
// console's own sink is made here).
void SetDiagnosticsFormat(DiagnosticsFormat format);
DiagnosticsFormat CurrentDiagnosticsFormat();
void AddDiagnosticSink(std::unique_ptr<DiagnosticSink> sink);
// Ends every sink and drops them; false when a sink could not write.
bool FinishDiagnostics();

// What diagnostics point at: the file (the error log's mode 0 and mode 2 set
// it too) and the line being read.
void SetReportFile(std::string_view path);
void SetReportLine(const LinePosition& position);
void ClearReportLine();

// A bare message with the system's reason for a failed open or write.
void ReportFailure(Message message, std::string_view reason);
// A failure of the whole run (the control file, the run log, a parts file
// that cannot be opened): its fixed console line at level 4 in the classic
// format, a record otherwise.
void ReportRunFailure(DiagnosticId id, std::string_view consoleLine, std::string_view message,
                      std::string_view reason);

// Warnings for silent changes: off until enabled.
void EnableWarning(Warning warning, bool enabled);
bool WarningEnabled(Warning warning);
// One -W option without its "-W": "all", "error", "NAME" or "no-NAME" (also
// "no-all", "no-error"); false for a name that is no warning.
bool ApplyWarningOption(std::string_view option);
// -Werror: a run that reported any warning ends with 1.
bool WarningsAreErrors();
// Reports an enabled warning about the line being read (`index`: the
// character it is about, or -1), or about the file when no line is being
// read. In the classic format it shows on the console only, as a "W" line.
void ReportWarning(Warning warning, std::string_view message, int index = -1);
// Warnings of any kind reported since the run began.
int WarningsReported();
// Back to the start: classic format, no sinks, no warnings; for tests.
void ResetDiagnostics();

// Whether the error log is open now.
bool ErrorLogIsOpen();
// The system's reason when a write to the error log, or its close, failed
// since it was last opened; empty when none did.
std::string ErrorLogFailure();

// The name of the error log for a control file path: the part after the last
// "/" followed by ".LOG"; a path without "/" is taken whole.
std::string ErrorLogName(std::string_view controlPath);

}  // namespace partsc
