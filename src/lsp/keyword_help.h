// What the manual says about each keyword, view keyword and kind of member
// line, for hover and completion.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "compiler/source_reading.h"

namespace partsc::lsp {

struct Help {
  std::string_view label;      // "$$SIZE", "$TOP", "p"
  std::string_view arguments;  // what follows it as the manual writes the line
  std::string_view meaning;

  // The line as the manual writes it.
  std::string Syntax() const {
    return arguments.empty() ? std::string(label)
                             : std::string(label) + " " + std::string(arguments);
  }
};

// For the keywords of the table; none for kNone.
std::optional<Help> HelpOfKeyword(Keyword keyword);
// For the view index 0 to 5.
const Help& HelpOfView(int view);
// For a macro line, a spec member line, else a parameter member line.
const Help& HelpOfLine(LineKind kind);
// Every keyword's and every view keyword's, in the order of their tables.
std::span<const Help> KeywordHelps();
std::span<const Help> ViewHelps();

}  // namespace partsc::lsp
