// Takes delimited fields and bracketed value lists out of a source line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partsc {

enum class FieldFit { kFits, kCut, kMissing, kBadDelimiter };

// A field of a line: how it was found, and its text as a view of the line
// (empty unless found).
struct LineField {
  FieldFit fit = FieldFit::kMissing;
  std::string_view text;

  bool Found() const { return fit == FieldFit::kFits || fit == FieldFit::kCut; }
};

enum class ItemType { kName, kNumber, kNameCut };

inline constexpr int kValueNameMax = 32;

struct ValueItem {
  ItemType type = ItemType::kName;
  double number = 0.0;    // for kNumber; never 0.0
  std::string_view text;  // the item as the line holds it, trimmed

  // The name, for kName and kNameCut: the text cut to kValueNameMax.
  std::string_view Name() const { return text.substr(0, kValueNameMax); }
};

// The field opened by the first `delimiter` ('"', '!' or '(') on the line,
// trimmed of blanks and tabs, cut to maxLength characters.
LineField ExtractField(std::string_view line, char delimiter, int maxLength);

// The items of the first list opened by `openingBracket` ('<' or '['), at
// most `maxItems` of them.
std::vector<ValueItem> ParseValueList(std::string_view line, int maxItems, char openingBracket);

// The place of the character that closes the field or list opened at `open`
// on the line: the next closing character, where only parentheses nest, so a
// pair of equal characters (the quotes, the exclamation marks) ends at the
// next one; none when the field runs to the line's end.
std::optional<size_t> FieldClose(std::string_view line, size_t open);
// The end of that field or list: after its closing character, or the line's
// end.
inline size_t FieldEnd(std::string_view line, size_t open) {
  const std::optional<size_t> close = FieldClose(line, open);
  return close ? *close + 1 : line.size();
}

// A number truncated toward zero, keeping the low 16 bits of the integer as a
// signed value (12.7 -> 12, -1.5 -> -1, 32768 -> -32768). Any finite
// magnitude is taken modulo 65536; NaN and infinities give 0.
int16_t TruncateTo16Bits(double value);

// The character that closes a field or list opened by `opening`: ')' for
// '(', '>' for '<', ']' for '['; the quotes and '!' close themselves.
char ClosingDelimiter(char opening);

}  // namespace partsc
