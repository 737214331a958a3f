// The structured forms of diagnostics: GNU lines and JSON lines on standard
// error, and a SARIF log written at the end of the run.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "diagnostics/diagnostics.h"
#include "platform/ov_result.h"

namespace partsc {

// The record as every form shows it: one about a parts file that could not be
// written, or did not read back, points at its source, with the parts file
// (as shown from `directory`) before the reason.
DiagnosticRecord AtSource(const DiagnosticRecord& record, const std::string& directory);

// "FILE:LINE:COLUMN: SEVERITY: MESSAGE[: REASON] [NAME]"; the path relative to
// `directory` (where partsc was started) where the file lies below it, and
// control characters shown as "\xHH".
std::string GnuLine(const DiagnosticRecord& record, const std::string& directory);
// One JSON object: file, line, column, severity, name, message, log_line,
// extra, reason (null where there is nothing).
std::string JsonLine(const DiagnosticRecord& record, const std::string& directory);

// Writes GnuLine or JsonLine of every record on the console's standard error.
std::unique_ptr<DiagnosticSink> MakeConsoleSink(OvConsole& console, DiagnosticsFormat format,
                                                const std::string& directory);
// What writing a log whole came to: written, no file could be made for it,
// or it could not be written whole.
enum class WholeWrite { kDone, kNotOpened, kNotWritten };
// Makes a text the whole content of a file, or says why not.
using WholeFileWriter =
    std::function<OvResult<WholeWrite>(const std::string& path, std::string_view text)>;

// Collects the records and writes a SARIF 2.1.0 log to `path` (taken from
// `directory` when relative) with `write` when the run ends, its locations
// relative to `displayDirectory` where they lie below it; a log that cannot
// be written is named on the console.
std::unique_ptr<DiagnosticSink> MakeSarifSink(OvConsole& console, const std::string& path,
                                              const std::string& directory,
                                              const std::string& displayDirectory,
                                              WholeFileWriter write);

}  // namespace partsc
