#include "lsp/macros.h"

#include <algorithm>

#include "compiler/parts_line.h"
#include "compiler/source_pieces.h"

namespace partsc::lsp {
namespace {

// The uses of a parameter member piece, as the expansion walks them.
std::vector<MacroUse> UsesOn(const Reading& reading, size_t piece) {
  const Piece& at = reading.pieces[piece];
  if (at.kind != LineKind::kParamMember) {
    return {};
  }
  return MacroUsesOf(reading.TextOf(at));
}

}  // namespace

std::optional<MacroAt> MacroAtOffset(const Reading& reading, size_t offset) {
  for (const MacroDefinition& macro : reading.macros) {
    if (macro.nameOffset <= offset && offset <= macro.nameOffset + macro.nameLength) {
      return MacroAt{macro.name, &macro, macro.nameOffset, macro.nameLength};
    }
  }
  const std::optional<size_t> piece = reading.PieceAt(offset);
  if (!piece) {
    return std::nullopt;
  }
  const size_t base = reading.pieces[*piece].offset;
  for (const MacroUse& use : UsesOn(reading, *piece)) {
    if (base + use.start <= offset && offset <= base + use.start + use.length) {
      return MacroAt{use.name, reading.MacroFor(use.name, *piece), base + use.start, use.length};
    }
  }
  return std::nullopt;
}

std::vector<MacroPlace> MacroPlaces(const Reading& reading, std::string_view name) {
  std::vector<MacroPlace> places;
  for (const MacroDefinition& macro : reading.macros) {
    if (macro.name == name) {
      places.push_back(MacroPlace{macro.nameOffset, macro.nameLength, true});
    }
  }
  for (size_t piece = 0; piece < reading.pieces.size(); ++piece) {
    for (const MacroUse& use : UsesOn(reading, piece)) {
      if (use.name == name) {
        places.push_back(
            MacroPlace{reading.pieces[piece].offset + use.start + 1, name.size(), false});
      }
    }
  }
  std::ranges::sort(places, {}, &MacroPlace::start);
  return places;
}

std::optional<std::string> RenameRefusal(const Reading& reading, std::string_view name,
                                         std::string_view nameBytes) {
  if (nameBytes.empty()) {
    return "a macro needs a name";
  }
  if (nameBytes.size() > static_cast<size_t>(kMacroTextMax)) {
    return "a macro name holds at most " + std::to_string(kMacroTextMax) + " characters";
  }
  for (const char c : nameBytes) {
    if (static_cast<unsigned char>(c) <= ' ' ||
        std::string_view("!(){}").find(c) != std::string_view::npos) {
      return "a macro name holds no blank, control character or any of ! ( ) { }";
    }
  }
  for (const MacroDefinition& macro : reading.macros) {
    if (macro.name == nameBytes && nameBytes != name) {
      return "a macro " + std::string(nameBytes) + " is already defined";
    }
  }
  const std::vector<MacroPlace> places = MacroPlaces(reading, name);
  for (const MacroPlace& place : places) {
    const Piece& piece = reading.pieces[*reading.PieceAt(place.start)];
    const size_t renamed = std::count_if(places.begin(), places.end(), [&](const MacroPlace& p) {
      return p.start >= piece.offset && p.start < piece.offset + piece.length;
    });
    if (piece.length + renamed * nameBytes.size() - renamed * name.size() > kPieceMax - 1) {
      return "line " + std::to_string(piece.physicalLine) +
             " would be longer than 78 characters, which the compile reads as two lines";
    }
  }
  return std::nullopt;
}

}  // namespace partsc::lsp
