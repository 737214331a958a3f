// Any bytes as one parts source file: compiled, and when the compile
// succeeds, read back and listed as the run driver does; a file whose listing
// fails is removed. Every source is compiled twice, to check the backup.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "compiler/compile_passes.h"
#include "diagnostics/diagnostics.h"
#include "fuzz_env.h"
#include "listing/listing.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc::fuzz {
namespace {

bool IsCompileStatus(CompileStatus status) {
  // Without injected faults, with a readable input and a writable directory:
  // no unreadable input, no shortage of memory, no failed write, no signal.
  return status != CompileStatus::kInputUnreadable && status != CompileStatus::kOutOfMemory &&
         status != CompileStatus::kWriteFailed && status != CompileStatus::kInterrupted &&
         status != CompileStatus::kTableFull;
}

// A parts file the compiler has just written lies in the parts directory and
// reads back; only a file without any APG name is refused (4).
void CheckCompiled(Context& context, const std::string& outputPath, OvFileIO& runLog) {
  Require(!outputPath.empty(), "a compiled source names its parts file");
  const std::filesystem::path path(outputPath);
  Require(path.parent_path() == std::filesystem::path(EnterWorkDir()),
          "the parts file lies in the parts directory");
  Require(OvFile::Access(outputPath).Ok(), "the parts file exists after the compile");
  OvFileBytes read;
  const int listed = static_cast<int>(
      ListPartsFile(context.diagnostics, outputPath, runLog, outputPath, read).step);
  Require(listed == 0 || listed == 4, "a freshly compiled parts file reads back");
  const std::string bytes = ReadWhole(outputPath);
  Require(EncodeModel(DecodePartsFile(bytes)).bytes == bytes,
          "a compiled parts file is its model encoded");
  if (listed == 0) {
    return;
  }
  if (OvFile::Access(outputPath).Ok()) {
    OvFile::Remove(outputPath);
  }
  context.diagnostics.ReportDiagnostic(DiagnosticId::kIllegalFileDelete);
}

// Compiling the same source again moves the first result, whole, to its
// backup name and writes the same bytes again: nothing is lost, and a compile
// depends on nothing but its input.
void CheckRecompile(Context& context, const std::string& input, CompileStatus code,
                    const std::string& outputPath) {
  if (outputPath.empty()) {
    return;
  }
  const std::string first = ReadWhole(outputPath);
  CompileContext compile = context.Compile();
  PartsOutput output = context.Output();
  context.sink.Release();
  const CompileOutcome again = CompilePartsSource(compile, LineSource{input, {}}, output);
  Require(again.status == code, "a second compile answers the same");
  Require(again.outputPath == outputPath, "a second compile names the same parts file");
  const std::string backup = outputPath + (OvFile::IsLowerCase(outputPath) ? ".old" : ".OLD");
  Require(OvFile::Access(backup).Ok() && ReadWhole(backup) == first,
          "the first parts file survives whole as the backup");
  Require(ReadWhole(outputPath) == first, "a second compile writes the same bytes");
}

}  // namespace
}  // namespace partsc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  Context& context = BeginInput();
  const std::string input = WriteInput("input.src", AsText(data, size));
  OvFileIO runLog;
  runLog.Fopen("TALVIREN.LOG", "w");

  CompileContext compile = context.Compile();
  PartsOutput output = context.Output();
  const CompileOutcome outcome = CompilePartsSource(compile, LineSource{input, {}}, output);
  const CompileStatus code = outcome.status;
  const std::string& outputPath = outcome.outputPath;
  Require(IsCompileStatus(code), "the compile answers one of its codes");
  if (code == CompileStatus::kOutputUnopened) {
    Require(outputPath.empty(), "a parts file that could not be opened leaves no path");
  }
  CheckRecompile(context, input, code, outputPath);
  if (code == CompileStatus::kOk) {
    CheckCompiled(context, outputPath, runLog);
  }

  runLog.Fclose();
  EndInput();
  return 0;
}
