// Diagnostics: the error log of a run, the message table and the view names.
#pragma once

#include <array>
#include <string>
#include <string_view>

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

// Whether the error log is open now.
bool ErrorLogIsOpen();
// The system's reason when a write to the error log, or its close, failed
// since it was last opened; empty when none did.
std::string ErrorLogFailure();

// The name of the error log for a control file path: the part after the last
// "/" followed by ".LOG"; a path without "/" is taken whole.
std::string ErrorLogName(std::string_view controlPath);

}  // namespace partsc
