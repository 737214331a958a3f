// Compiles one parts source file into one parts file, in two passes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "compiler/compile_context.h"
#include "partsfile/parts_file.h"
#include "partsfile/result_codes.h"
#include "platform/ov_file.h"

namespace partsc {

// Result codes of CompilePartsSource besides those passed on from the line
// parsers (-1, 20, 109).
inline constexpr int kCompileOk = 0;
inline constexpr int kCompileNotParts = 10;
inline constexpr int kCompileInputOpen = 22;
inline constexpr int kCompileMemberLine = 40;
inline constexpr int kCompileWriteFailed = 122;
inline constexpr int kCompilePartsLine = 501;
inline constexpr int kCompileOutputOpen = -1;

// Where a compile puts its parts file: the directory of the parts class, and
// the parts file object, opened with kOpenForWriting or kOpenForReplacing.
struct PartsOutput {
  const OvClassDirectories& classes;
  PartsFile& parts;
  int openMode;
};

// Compiles the source at `inputPath`; sets `outputPath` to the parts file's
// full path (emptied when the parts file could not be opened).
int CompilePartsSource(CompileContext& context, PartsOutput& output, const std::string& inputPath,
                       std::string& outputPath);

// Reads a $$SPEC line: both numbers 0 unless given as numbers.
void CompileSpecLine(CompileContext& context, std::string_view line, int32_t& specFile,
                     int32_t& specRecord);

}  // namespace partsc
