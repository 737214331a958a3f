// The fix a diagnostic names, as an edit of the text that makes it: a
// misspelt keyword or view keyword spelt right, a field closed, a text cut to
// what its field keeps.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <partsc/diagnostic.h>

#include "compiler/source_reading.h"

namespace partsc::lsp {

// Replaces the bytes from `start` to `end` of the text with `newText`.
struct TextEdit {
  size_t start = 0;
  size_t end = 0;
  std::string newText;
};

struct QuickFix {
  std::string title;
  TextEdit edit;
};

// The fix of `finding`, which the compile of the reading's text reported at
// `at` (the byte its column names, or its line's first); none when it names
// none. `utf8` says whether a cut must keep whole UTF-8 characters.
std::optional<QuickFix> FixOf(const Reading& reading, const Diagnostic& finding, size_t at,
                              bool utf8);

}  // namespace partsc::lsp
