// Takes delimited fields and bracketed value lists out of a source line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace partsc {

// Results of ExtractField.
inline constexpr int kFieldFits = 0;
inline constexpr int kFieldCut = 1;
inline constexpr int kFieldMissing = -1;
inline constexpr int kFieldBadDelimiter = -2;

// Item types of ParseValueList.
inline constexpr int32_t kItemName = 0;
inline constexpr int32_t kItemNumber = 1;
inline constexpr int32_t kItemNameCut = 2;

inline constexpr int kValueNameMax = 32;

struct ValueItem {
  double number = 0.0;  // for kItemNumber; never 0.0
  std::string name;     // for kItemName and kItemNameCut
};

// The field opened by the first `delimiter` ('"', '!' or '(') on the line,
// trimmed of blanks and tabs, cut to maxLength characters.
int ExtractField(std::string_view line, char delimiter, int maxLength, std::string& field);
// The same, with the field as a view of the line.
int ExtractField(std::string_view line, char delimiter, int maxLength, std::string_view& field);

// The items of the first list opened by `openingBracket` ('<' or '['). Slots
// at and beyond `count` are not written.
void ParseValueList(std::string_view line, int maxItems, char openingBracket, ValueItem* items,
                    int32_t* types, int32_t& count);

// A number truncated toward zero, keeping the low 16 bits of the integer as a
// signed value (12.7 -> 12, -1.5 -> -1, 32768 -> -32768). Any finite
// magnitude is taken modulo 65536; NaN and infinities give 0.
int16_t TruncateTo16Bits(double value);

// The character that closes a field or list opened by `opening`: ')' for
// '(', '>' for '<', ']' for '['; the quotes and '!' close themselves.
char ClosingDelimiter(char opening);

}  // namespace partsc
