// The structured forms of diagnostics: GNU lines and JSON lines on standard
// error, and a SARIF log written at the end of the run.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "diagnostics/diagnostics.h"

namespace partsc {

// "FILE:LINE:COLUMN: SEVERITY: MESSAGE[: REASON] [NAME]"; the path relative to
// the current directory where the file lies below it.
std::string GnuLine(const DiagnosticRecord& record);
// One JSON object: file, line, column, severity, name, message, log_line,
// extra, reason (null where there is nothing).
std::string JsonLine(const DiagnosticRecord& record);

// Writes GnuLine or JsonLine of every record on standard error.
std::unique_ptr<DiagnosticSink> MakeConsoleSink(DiagnosticsFormat format);
// Collects the records and writes a SARIF 2.1.0 log to `path` when the run
// ends.
std::unique_ptr<DiagnosticSink> MakeSarifSink(const std::string& path);

}  // namespace partsc
