// Spec and param member lines, and macro expansion in parameter texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "compiler/compile_context.h"
#include "compiler/member_table.h"
#include "partsfile/parts_layout.h"

namespace partsc {

inline constexpr int kMemberTextBuffer = 64;  // ParseLine buffers, terminator included
inline constexpr int kMemberListMax = 16;
inline constexpr int kParamTextMax = 64;

// Appends the entry of a member line to `table`: kOk stored, or, reported,
// kMemberLineRefused, kTableFull or kOutOfMemory. A line not starting with
// 's' or 'p' gives kOk.
CompileStatus CompileMemberLine(CompileContext& context, std::string_view line, int lineNumber,
                                MemberTable& table);

// Replaces every {name} of `text` by the macro's value; keeps at most
// maxLength characters. 0 when the expansion fits, 1 when it was cut.
int ExpandMacros(const MacroTable& macros, std::string& text, int maxLength);

}  // namespace partsc
