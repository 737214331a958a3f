#include "compiler/tokenizer.h"

#include <cmath>
#include <utility>

#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// What stands between the first opening character and its matching closing
// character, or up to the end of the line when the field is never closed.
// The closing character is tested first, so a pair of equal characters (the
// quotes, the exclamation marks) ends at the next one and only parentheses
// nest. FieldClose finds the same close; this one, on every member line,
// looks for the characters with memchr.
std::string_view GatherField(std::string_view line, char opening) {
  const char closing = ClosingDelimiter(opening);
  const size_t open = line.find(opening);
  if (open == std::string_view::npos) {
    return {};
  }
  const std::string_view rest = line.substr(open + 1);
  // From one closing to the next: every opening in between nests one deeper.
  int depth = 1;
  for (size_t from = 0;;) {
    const size_t close = rest.find(closing, from);
    const std::string_view between = rest.substr(from, close - from);
    for (size_t nested = between.find(opening); nested != std::string_view::npos;
         nested = between.find(opening, nested + 1)) {
      ++depth;
    }
    if (close == std::string_view::npos) {
      break;
    }
    if (--depth == 0) {
      return rest.substr(0, close);
    }
    from = close + 1;
  }
  return rest;
}

ValueItem ItemOf(std::string_view text) {
  const double value = OvStringUtil::ParseDouble(text, NumberTrim::kTrimFirst).value_or(0.0);
  if (value != 0.0) {
    return {ItemType::kNumber, value, text};
  }
  return {text.size() > static_cast<size_t>(kValueNameMax) ? ItemType::kNameCut : ItemType::kName,
          0.0, text};
}

}  // namespace

LineField ExtractField(std::string_view line, char delimiter, int maxLength) {
  if (delimiter != '"' && delimiter != '!' && delimiter != '(') {
    return {FieldFit::kBadDelimiter, {}};
  }
  const std::string_view trimmed = OvStringUtil::TrimBlanks(GatherField(line, delimiter));
  if (trimmed.empty()) {
    return {FieldFit::kMissing, {}};
  }
  const size_t limit = maxLength < 0 ? 0 : static_cast<size_t>(maxLength);
  if (trimmed.size() > limit) {
    return {FieldFit::kCut, trimmed.substr(0, limit)};
  }
  return {FieldFit::kFits, trimmed};
}

std::vector<ValueItem> ParseValueList(std::string_view line, int maxItems, char openingBracket) {
  std::vector<ValueItem> items;
  // Brackets never nest.
  const size_t open = line.find(openingBracket);
  if ((openingBracket != '<' && openingBracket != '[') || open == std::string_view::npos) {
    return items;
  }
  std::string_view list = line.substr(open + 1);
  const size_t close = list.find(ClosingDelimiter(openingBracket));
  if (close != std::string_view::npos) {
    list = list.substr(0, close);
  }
  while (std::cmp_less(items.size(), maxItems)) {
    const size_t comma = list.find(',');
    items.push_back(ItemOf(OvStringUtil::TrimBlanks(list.substr(0, comma))));
    if (comma == std::string_view::npos) {
      break;
    }
    list.remove_prefix(comma + 1);
  }
  return items;
}

std::optional<size_t> FieldClose(std::string_view line, size_t open) {
  const char opening = line[open];
  const char closing = opening == '{' ? '}' : ClosingDelimiter(opening);
  int depth = 1;
  for (size_t at = open + 1; at < line.size(); ++at) {
    if (line[at] == closing && --depth == 0) {
      return at;
    }
    if (opening == '(' && line[at] == '(') {
      ++depth;
    }
  }
  return std::nullopt;
}

int16_t TruncateTo16Bits(double value) {
  if (!std::isfinite(value)) {
    return 0;
  }
  // fmod keeps the sign and gives |result| < 65536, so the conversion to a
  // 32-bit integer is always defined.
  const double wrapped = std::fmod(std::trunc(value), 65536.0);
  const auto low = static_cast<uint16_t>(static_cast<int32_t>(wrapped) & 0xFFFF);
  return static_cast<int16_t>(low);
}

char ClosingDelimiter(char opening) {
  switch (opening) {
    case '(':
      return ')';
    case '<':
      return '>';
    case '[':
      return ']';
    default:
      return opening;
  }
}

}  // namespace partsc
