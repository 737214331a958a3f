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

// The definition whose name (on its t line) stands at `offset`, or null.
const MacroDefinition* DefinitionNamedAt(const Reading& reading, size_t offset);

// The use of a macro that holds `offset` in a parameter text, with its
// offsets in the piece that holds `offset`.
std::optional<MacroUse> MacroUseAt(const Reading& reading, size_t offset);

// The name of the macro at `offset`: a use, or the name of a t line.
std::optional<std::string> MacroNameAt(const Reading& reading, size_t offset);

// The definition of the macro at `offset`: the one a use gets its value
// from, or the t line whose name stands there.
const MacroDefinition* MacroDefinitionAt(const Reading& reading, size_t offset);

// Every place of the macro `name` in the text order: the names of its t lines
// and its uses in parameter texts.
std::vector<MacroPlace> MacroPlaces(const Reading& reading, std::string_view name);

// Why the compile would not take `newName` for the macro `name` in place of
// it, each place renamed; empty when it would. `nameBytes` is the new name
// in the bytes of the text.
std::string RenameRefusal(const Reading& reading, std::string_view name,
                          std::string_view nameBytes);

}  // namespace partsc::lsp
