#include "compiler/tokenizer.h"

#include <cassert>
#include <cmath>

#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// What stands between the first opening character and its matching closing
// character, or up to the end of the line when the field is never closed.
// The closing character is tested first, so a pair of equal characters (the
// quotes, the exclamation marks) ends at the next one and only parentheses
// nest.
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

void StoreItem(std::string_view text, ValueItem& item, int32_t& type) {
  double value = 0.0;
  OvStringUtil::ParseDouble(text, kTrimFirst, value);
  if (value != 0.0) {
    item.number = value;
    item.name.clear();
    type = kItemNumber;
    return;
  }
  item.number = 0.0;
  if (text.size() > static_cast<size_t>(kValueNameMax)) {
    item.name.assign(text.substr(0, kValueNameMax));
    type = kItemNameCut;
    return;
  }
  item.name.assign(text);
  type = kItemName;
}

}  // namespace

int ExtractField(std::string_view line, char delimiter, int maxLength, std::string& field) {
  std::string_view text;
  const int result = ExtractField(line, delimiter, maxLength, text);
  field.assign(text);
  return result;
}

int ExtractField(std::string_view line, char delimiter, int maxLength, std::string_view& field) {
  field = {};
  if (delimiter != '"' && delimiter != '!' && delimiter != '(') {
    return kFieldBadDelimiter;
  }
  const std::string_view trimmed = OvStringUtil::TrimBlanks(GatherField(line, delimiter));
  if (trimmed.empty()) {
    return kFieldMissing;
  }
  const size_t limit = maxLength < 0 ? 0 : static_cast<size_t>(maxLength);
  if (trimmed.size() > limit) {
    field = trimmed.substr(0, limit);
    return kFieldCut;
  }
  field = trimmed;
  return kFieldFits;
}

void ParseValueList(std::string_view line, int maxItems, char openingBracket, ValueItem* items,
                    int32_t* types, int32_t& count) {
  count = 0;
  // Brackets never nest.
  const size_t open = line.find(openingBracket);
  if ((openingBracket != '<' && openingBracket != '[') || open == std::string_view::npos) {
    return;
  }
  std::string_view list = line.substr(open + 1);
  const size_t close = list.find(ClosingDelimiter(openingBracket));
  if (close != std::string_view::npos) {
    list = list.substr(0, close);
  }
  if (maxItems < 1) {
    return;
  }
  assert(items != nullptr && types != nullptr && "a list with room for items needs slots");
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view item = OvStringUtil::TrimBlanks(list.substr(0, comma));
    StoreItem(item, items[count], types[count]);
    ++count;
    if (count >= maxItems || comma == std::string_view::npos) {
      return;
    }
    list.remove_prefix(comma + 1);
  }
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
