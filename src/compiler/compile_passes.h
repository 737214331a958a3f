// Compiles one parts source file into the model of its parts file, in two
// passes, and writes that model's encoding into a sink list by list.
#pragma once

#include <partsc/model.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "compiler/compile_context.h"
#include "partsfile/parts_file.h"
#include "platform/ov_file.h"

namespace partsc {

// The classic result code of a compile that ended so: 0, 10 not a parts
// source, 22 the source cannot be read, 40 a member line refused, 501 no
// parts name, -1 no size name or the parts file not opened, 20 a size named
// twice, 109 out of memory, 122 a write failed, 128 a signal.
int ResultCode(CompileStatus status);

// The largest source a compile reads: a larger one is refused as the
// source that cannot be opened is.
inline constexpr size_t kSourceMax = size_t{64} << 20;

// Where a compile's lines come from: the source file at `path`, or `text`
// read as that file would be.
struct LineSource {
  std::string path;  // the source's full path, as the diagnostics name it
  std::optional<std::string_view> text;
};

// Where a compile puts its parts file: the directory of the parts class,
// which the parts name is resolved in, and the sink that takes the bytes.
// With `keepMemberLists` the model keeps every member list it wrote (the
// library's compile); else its lists stay empty (the common list there as an
// empty list), as a run needs only the header, the views and the size
// records once a list is written.
struct PartsOutput {
  const OvClassDirectories& classes;
  PartsSink& sink;
  bool keepMemberLists = false;
};

// What a compile gives: its result code, the parts file's full path (empty
// when the parts file was not opened) and the model it built, whose
// encoding is what the sink received.
struct CompileOutcome {
  CompileStatus status = CompileStatus::kOk;
  std::string outputPath;
  PartsModel model;
};

// Compiles one source: pass 1 builds the header, the views, the common list
// and the size records; the parts file is then opened in the sink and its
// header, view list and common member list are written; pass 2 builds each
// size block's member list and writes it; last the size records, sorted by
// the sort mode, are written into the room left for them.
CompileOutcome CompilePartsSource(CompileContext& context, const LineSource& source,
                                  PartsOutput& output);

// Reads a $$SPEC line: its spec file and record, both 0 unless given as
// numbers.
std::pair<int16_t, int16_t> CompileSpecLine(CompileContext& context, std::string_view line);

}  // namespace partsc
