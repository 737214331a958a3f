// What the manual says about each keyword, view keyword and kind of member
// line, for hover and completion.
#pragma once

#include <string_view>

#include "lsp/source_reading.h"

namespace partsc::lsp {

struct Help {
  std::string_view label;   // "$$SIZE", "$TOP", "p"
  std::string_view syntax;  // the line as the manual writes it
  std::string_view meaning;
};

// For the keywords of the table; null for kNone.
const Help* HelpOfKeyword(Keyword keyword);
// For the view index 0 to 5.
const Help& HelpOfView(int view);
// For the first character of a macro line ('t') or a member line ('s', 'p');
// null for any other.
const Help* HelpOfLineStart(char first);

}  // namespace partsc::lsp
