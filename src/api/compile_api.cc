// The compile of the library: one source in memory, its diagnostics as
// records.
#include <partsc/partsc.h>

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "api/statuses.h"
#include "compiler/compile_passes.h"
#include "compiler/memory_compile.h"
#include "diagnostics/catalogue.h"
#include "diagnostics/diagnostics.h"
#include "platform/ov_file.h"

namespace partsc {
namespace {

// The directory the parts name is resolved in, as a full path: the one
// given, or that of the source; the current directory for a source path
// without "/".
std::string PartsDirectory(const std::string& path, const CompileOptions& options) {
  const std::string directory =
      options.partsDirectory.empty() ? OvFile::DirectoryOf(path) : options.partsDirectory;
  const std::string current = OvFile::CurrentDirectory();
  if (directory == ".") {
    return current.empty() ? std::string(".") : current;
  }
  return OvFile::Resolve(current, directory);
}

// The first diagnostic that stopped the compile, in words.
std::string StopReason(const CompileResult& result) {
  for (const Diagnostic& d : result.diagnostics) {
    if (d.consequence != Consequence::kGoesOn && !d.afterStop) {
      return MessageWithReason(d.message, d.reason, false);
    }
  }
  return {};
}

// A compile that runs out of memory gives no more than that.
CompileResult Compile(const std::string& path, std::optional<std::string_view> text,
                      const CompileOptions& options) try {
  CompileResult result;
  MemoryCompiler compiler;
  Diagnostics& diagnostics = compiler.diagnostics();
  for (const std::string& warning : options.warnings) {
    if (!diagnostics.ApplyWarningOption(warning)) {
      result.status = CompileEnd::kUnknownWarning;
      result.reason = "unknown warning option '-W" + warning + "'";
      return result;
    }
  }
  // Every record is kept as the library gives it.
  diagnostics.AddSink(std::make_unique<FunctionSink>([&result](const DiagnosticRecord& record) {
    result.diagnostics.push_back(PublicDiagnostic(record));
  }));
  diagnostics.OpenErrorLogInMemory(path);
  CompileOutcome outcome = compiler.Compile(LineSource{path, text}, PartsDirectory(path, options),
                                            true, options.keepGoing);
  result.status = PublicStatus(outcome.status);
  result.partsPath = std::move(outcome.outputPath);
  if (result.Compiled()) {
    result.bytes = compiler.Bytes();
    result.model = std::move(outcome.model);
  }
  result.errorLog = diagnostics.ErrorLogText();
  diagnostics.CloseErrorLog();
  diagnostics.FinishSinks(ResultCode(outcome.status));
  if (!result.Compiled()) {
    result.reason = StopReason(result);
  }
  return result;
} catch (const std::bad_alloc&) {
  CompileResult result;
  result.status = CompileEnd::kNoMemory;
  result.reason = "out of memory";
  return result;
}

}  // namespace

CompileResult CompileText(std::string_view text, const std::string& path,
                          const CompileOptions& options) {
  return Compile(path, text, options);
}

CompileResult CompileFile(const std::string& path, const CompileOptions& options) {
  return Compile(path, std::nullopt, options);
}

}  // namespace partsc
