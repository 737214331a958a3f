// The check of a written source: compiled in memory, it must give the parts
// file back but for its creation date.
#pragma once

#include <string>

#include "decompiler/member_blocks.h"

namespace partsc {

// kDecompileOk, or kDecompileNotRecoverable with the reason.
int CheckSource(const std::string& source, const Recovery& recovery, std::string& reason);

}  // namespace partsc
