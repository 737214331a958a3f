// Writes a parts source back from a parts file.
#pragma once

#include <partsc/model.h>

#include <optional>
#include <string>
#include <utility>

#include "partsfile/parts_rule.h"
#include "platform/ov_result.h"

namespace partsc {

// What came of writing a parts source back.
enum class DecompileStatus {
  kOk,
  // The file cannot be read back: its listing fails (the reason is its
  // listing's Verdict).
  kUnreadable,
  // The file reads back, but no parts source compiles to the same bytes.
  kNotRecoverable,
};
using DecompileResult = OvResult<DecompileStatus>;

// kNotRecoverable, for `reason`.
inline DecompileResult NotRecoverable(std::string reason) {
  return DecompileResult::Failed(DecompileStatus::kNotRecoverable, std::move(reason));
}

// A parts source written back, or why there is none.
struct Decompiled : DecompileResult {
  std::string source;
  std::string pointer;  // the JSON Pointer of the field the reason is about, if one
};

// Reads the parts file at `path` back and writes a parts source that,
// compiled with the parts name the file's name gives (FileBaseName), writes
// the same bytes again apart from the creation date (bytes 2 to 11). Before
// answering kOk it compiles the source in memory and compares the bytes;
// otherwise there is no source and the result says why. The reading and the
// check work on objects of their own and print nothing.
Decompiled DecompilePartsFile(const std::string& path);

// Why no parts source, compiled with the parts name `baseName`, gives the
// file of `model` back (the field it is about, and the reason): the same
// recovery and check as DecompilePartsFile, on the model's encoding. None
// when a source does. `model` must break no structural rule.
std::optional<ModelProblem> RecoveryProblem(const PartsModel& model, const std::string& baseName);

}  // namespace partsc
