// Spec and param member lines, and macro expansion in parameter texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "compiler/compile_context.h"
#include "compiler/member_table.h"
#include "partsfile/parts_layout.h"

namespace partsc {

// ParseLine's buffers for the quoted and the exclamation text, terminator
// included: the quoted text is a spec name or a param comment.
inline constexpr int kMemberTextBuffer = kSpecNameLimit + 1;
static_assert(kParamCommentLimit == kSpecNameLimit, "one buffer holds either");
inline constexpr int kMemberListMax = 16;

// Appends the entry of a member line to `table`: kOk stored, or, reported,
// kMemberLineRefused, kTableFull or kOutOfMemory. A line not starting with
// 's' or 'p' gives kOk.
CompileStatus CompileMemberLine(CompileContext& context, std::string_view line, int lineNumber,
                                MemberTable& table);

// A parameter text with every {name} replaced by the macro's value, kept to
// at most maxLength characters, and whether it was cut there.
struct Expansion {
  std::string text;
  bool cut = false;
};
Expansion ExpandMacros(const MacroTable& macros, std::string_view text, int maxLength);

}  // namespace partsc
