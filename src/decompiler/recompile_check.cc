#include "decompiler/recompile_check.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>

#include "compiler/compile_passes.h"
#include "compiler/memory_compile.h"
#include "decompiler/decompile.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_file.h"

namespace partsc {

namespace {

// The header's fields by the offset they start at.
struct HeaderField {
  int at;
  const char* name;
};
constexpr std::array<HeaderField, 15> kHeaderFields = {{{kVersionAt, "version"},
                                                        {kDayAt, "creation date"},
                                                        {kCommentAt, "comment"},
                                                        {kCommentLengthAt, "comment length"},
                                                        {kSpecFileAt, "spec file"},
                                                        {kSpecRecordAt, "spec record"},
                                                        {kPartsValue1At, "first number"},
                                                        {kPartsValue2At, "second number"},
                                                        {kSizeCountAt, "size count"},
                                                        {kCommonOffsetAt, "common list offset"},
                                                        {kTitleAt, "title"},
                                                        {kTitleLengthAt, "title length"},
                                                        {kApgCommentCountAt, "APG comment count"},
                                                        {kSortModeAt, "sort mode"},
                                                        {kHeaderUsed, "reserved bytes"}}};

// The part of the parts file that holds byte `offset`.
std::string PartAt(size_t offset, const PartsHeader& header) {
  if (offset < static_cast<size_t>(kHeaderSize)) {
    const auto field =
        std::find_if(kHeaderFields.rbegin(), kHeaderFields.rend(),
                     [offset](const auto& f) { return static_cast<size_t>(f.at) <= offset; });
    return std::string("the header's ") + field->name;
  }
  const size_t names = kApgOffset + kApgBlockSize;
  const size_t sizes = header.apgCommentCount != 0 ? names + kApgBlockSize : names;
  if (offset < sizes) {
    return offset < names ? "the APG name block" : "the APG comment block";
  }
  const size_t record = (offset - sizes) / kSizeRecordSize;
  if (record < static_cast<size_t>(std::max<int>(header.sizeCount, 0))) {
    return "size record " + std::to_string(record + 1);
  }
  return "the member lists";
}

// Where the compile of `source` and the original first differ; none when
// they are the same but for the creation date.
std::optional<std::string> Difference(const std::string& original, const std::string& compiled,
                                      const PartsHeader& header) {
  const size_t common = std::min(original.size(), compiled.size());
  for (size_t i = 0; i < common; ++i) {
    if ((i < static_cast<size_t>(kDateAt) || i >= static_cast<size_t>(kDateEnd)) &&
        original[i] != compiled[i]) {
      return "byte " + std::to_string(i) + " differs, in " + PartAt(i, header);
    }
  }
  if (original.size() != compiled.size()) {
    return "it gives " + std::to_string(compiled.size()) + " bytes for " +
           std::to_string(original.size());
  }
  return std::nullopt;
}

}  // namespace

DecompileResult CheckSource(const std::string& source, const Recovery& recovery) {
  // A compile of its own, in memory, that prints nothing and writes no file.
  MemoryCompiler compiler;
  const CompileOutcome compiled =
      compiler.Compile(LineSource{"/recovered.src", source}, "/", false);
  OvClassDirectories classes;
  classes.Set(kClassParts, "/");
  const std::string expectedPath = classes.ToFullPath(kClassParts, recovery.baseName);
  if (compiled.status != CompileStatus::kOk || compiled.outputPath != expectedPath) {
    return {DecompileStatus::kNotRecoverable, "the source would not compile back (compile result " +
                                                  std::to_string(ResultCode(compiled.status)) +
                                                  ")"};
  }
  const std::optional<std::string> difference =
      Difference(recovery.bytes, compiler.Bytes(), recovery.model.header);
  if (difference) {
    return {DecompileStatus::kNotRecoverable,
            "the source would not reproduce the file (" + *difference + ")"};
  }
  return {};
}

}  // namespace partsc
