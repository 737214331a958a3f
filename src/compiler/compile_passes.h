// Compiles one parts source file into one parts file, in two passes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "compiler/compile_context.h"
#include "partsfile/parts_file.h"
#include "partsfile/result_codes.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

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
// A signal ended the compile between two lines (reported); a parts file
// that was begun is incomplete.
inline constexpr int kCompileInterrupted = 128;

// Where a compile's lines come from: the source file at `path`, or `text`
// read as that file would be, in pieces of at most 79 characters.
struct LineSource {
  std::string path;  // the source's full path, as the diagnostics name it
  std::optional<std::string_view> text;

  bool Open(OvFileIO& input) const {
    return text.has_value() ? input.FopenText(*text) : input.Fopen(path, "r");
  }
};

// Where a compile puts its parts file: the directory of the parts class,
// which the parts name is resolved in, and the sink that takes the bytes.
struct PartsOutput {
  const OvClassDirectories& classes;
  PartsSink& sink;
};

// Compiles one source: pass 1, then the parts file opened in the sink with
// its header, view list and common member list, then pass 2, which hands
// each finished size block's member list to the sink, then the size list.
// Sets `outputPath` to the parts file's full path (emptied when the parts
// file could not be opened).
int CompilePartsSource(CompileContext& context, const LineSource& source, PartsOutput& output,
                       std::string& outputPath);

// Reads a $$SPEC line: both numbers 0 unless given as numbers.
void CompileSpecLine(CompileContext& context, std::string_view line, int32_t& specFile,
                     int32_t& specRecord);

}  // namespace partsc
