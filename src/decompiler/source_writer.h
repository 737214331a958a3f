// Writes the source of a parts file being recovered: every line laid out so that the
// compiler reads it back to the same records.
#pragma once

#include <string>

#include "decompiler/member_blocks.h"

namespace partsc {

// The whole source, or kNotRecoverable with why `recovery` has none and the
// JSON Pointer of the field of its model the reason is about.
Decompiled WriteSource(const Recovery& recovery);

}  // namespace partsc
