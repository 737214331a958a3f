// A macro as a symbol of its document: its definitions (the names of its
// t lines) and its uses (the {NAME} of parameter texts), for references,
// highlights and rename.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/source_reading.h"

namespace partsc::lsp {

// One place a macro's name stands, as offsets in the text.
struct MacroPlace {
  size_t start = 0;
  size_t length = 0;
  bool definition = false;
};

// The macro named at `offset`: by a use in a parameter text or by the name
// of a t line.
struct MacroAt {
  std::string name;
  const MacroDefinition* definition = nullptr;  // the one the name gets its value from, if any
  size_t start = 0;                             // of the use, its braces included, or of the name
  size_t length = 0;
};
std::optional<MacroAt> MacroAtOffset(const Reading& reading, size_t offset);

// Every place of the macro `name` in the text order: the names of its t lines
// and its uses in parameter texts.
std::vector<MacroPlace> MacroPlaces(const Reading& reading, std::string_view name);

// Why the compile would not take `newName` for the macro `name` in place of
// it, each place renamed; none when it would. `nameBytes` is the new name
// in the bytes of the text.
std::optional<std::string> RenameRefusal(const Reading& reading, std::string_view name,
                                         std::string_view nameBytes);

}  // namespace partsc::lsp
