// Writes a parts source back from a parts file.
#pragma once

#include <partsc/model.h>

#include <optional>
#include <string>

#include "partsfile/parts_rule.h"

namespace partsc {

// Results of DecompilePartsFile.
inline constexpr int kDecompileOk = 0;
// The file cannot be read back: its listing fails (the reason is the one
// UnreadableReason gives).
inline constexpr int kDecompileUnreadable = 1;
// The file reads back, but no parts source compiles to the same bytes.
inline constexpr int kDecompileNotRecoverable = 2;

// Reads the parts file at `path` back and makes `source` a parts source that,
// compiled with the parts name the file's name gives (FileBaseName), writes
// the same bytes again apart from the creation date (bytes 2 to 11). Before
// answering 0 it compiles the source in memory and compares the bytes; otherwise `source` is empty
// and `reason` says why. The reading and the check work on objects of their own and print nothing.
int DecompilePartsFile(const std::string& path, std::string& source, std::string& reason);

// Why no parts source, compiled with the parts name `baseName`, gives the
// file of `model` back (the field it is about, and the reason): the same
// recovery and check as DecompilePartsFile, on the model's encoding. None
// when a source does. `model` must break no structural rule.
std::optional<ModelProblem> RecoveryProblem(const PartsModel& model, const std::string& baseName);

}  // namespace partsc
