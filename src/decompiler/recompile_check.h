// The check of a written source: compiled in memory, it must give the parts
// file back but for its creation date.
#pragma once

#include <string>

#include "decompiler/decompile.h"
#include "decompiler/member_blocks.h"

namespace partsc {

// kOk, or kNotRecoverable with the reason.
DecompileResult CheckSource(const std::string& source, const Recovery& recovery);

}  // namespace partsc
