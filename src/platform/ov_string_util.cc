#include "platform/ov_string_util.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace partsc {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// An integer of at most this many digits is exact in a double.
constexpr std::size_t kShortIntegerDigits = 15;

// The text between the first `mark` and the next one (or the end of the
// line), trimmed and cut to size-1 characters; empty without a `mark`.
std::string_view MarkedText(std::string_view line, char mark, int size) {
  const std::size_t start = line.find(mark);
  if (start == std::string_view::npos || size < 1) {
    return {};
  }
  std::string_view text = line.substr(start + 1);
  text = text.substr(0, text.find(mark));
  return OvStringUtil::TrimBlanks(text).substr(0, static_cast<std::size_t>(size - 1));
}

// The most common number, an integer of at most 15 digits with an optional
// sign, is exact in a double: it needs no rounding and takes a short way.
// The one that starts at `at`, which moves past it; none for any other text.
std::optional<double> ShortIntegerAt(std::string_view text, std::size_t& at) {
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    ++at;
  }
  const std::size_t start = at;
  int64_t magnitude = 0;
  while (at < text.size() && IsDigit(text[at]) && at - start <= kShortIntegerDigits) {
    magnitude = magnitude * 10 + (text[at] - '0');
    ++at;
  }
  if (at == start || at - start > kShortIntegerDigits) {
    return std::nullopt;
  }
  // "-0" is negative zero, as the full conversion gives it.
  const auto exact = static_cast<double>(magnitude);
  return negative ? -exact : exact;
}

// The value of a trimmed list item as single precision; NaN when it is not a
// number. A value beyond the range of float becomes an infinity of its sign.
float ItemValue(std::string_view item) {
  const std::optional<double> number = OvStringUtil::ParseDouble(item, NumberTrim::kAsItStands);
  if (!number) {
    return std::numeric_limits<float>::quiet_NaN();
  }
  const double value = *number;
  // From here on a double rounds to infinity as a float.
  constexpr double kFloatOverflow = 0x1.ffffffp127;
  if (std::fabs(value) >= kFloatOverflow) {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    return value > 0 ? kInfinity : -kInfinity;
  }
  return static_cast<float>(value);
}

// The most common list item, a short integer between blanks, read in one pass
// without searching for its comma first: the end of the item starting at `at`
// (its comma or the end of the list) and its value; npos for any other item.
std::size_t ShortIntegerItem(std::string_view list, std::size_t at, float& value) {
  while (at < list.size() && OvStringUtil::IsBlank(list[at])) {
    ++at;
  }
  const std::optional<double> exact = ShortIntegerAt(list, at);
  while (at < list.size() && OvStringUtil::IsBlank(list[at])) {
    ++at;
  }
  if (!exact || (at < list.size() && list[at] != ',')) {
    return std::string_view::npos;
  }
  value = static_cast<float>(*exact);  // through double, as every other number
  return at;
}

// A list between `open` and `close`: the first `open` on the line, up to the
// first `close` after it or the end of the line. Hands each item's value to
// `visit` with its index and answers the number of items; null when the line
// has no `open`. A list holding only blanks and tabs has no items.
template <class Visit>
std::optional<std::size_t> VisitListItems(std::string_view line, char open, char close,
                                          Visit visit) {
  const std::size_t start = line.find(open);
  if (start == std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view list = line.substr(start + 1);
  list = list.substr(0, list.find(close));
  if (OvStringUtil::TrimBlanks(list).empty()) {
    return 0;
  }
  // Each item runs to the next comma or to the end of the list.
  for (std::size_t index = 0, at = 0;; ++index) {
    float value = 0.0f;
    std::size_t itemEnd = ShortIntegerItem(list, at, value);
    if (itemEnd == std::string_view::npos) {
      itemEnd = std::min(list.find(',', at), list.size());
      value = ItemValue(OvStringUtil::TrimBlanks(list.substr(at, itemEnd - at)));
    }
    visit(index, value);
    if (itemEnd == list.size()) {
      return index + 1;
    }
    at = itemEnd + 1;
  }
}

int16_t CountOf(std::size_t count) {
  return static_cast<int16_t>(std::min<std::size_t>(count, std::numeric_limits<int16_t>::max()));
}

}  // namespace

void OvStringUtil::TrimRight(std::string& text) {
  text.erase(text.find_last_not_of(" \t\r\n") + 1);  // npos + 1: all of it
}

void TrimLineEnd(std::string& line) {
  line.erase(TrimmedLineEnd(line).size());
}

std::optional<double> OvStringUtil::ParseDouble(std::string_view text, NumberTrim trim) {
  if (trim == NumberTrim::kTrimFirst) {
    text = OvStringUtil::TrimBlanks(text);
  }
  std::size_t at = 0;
  if (const std::optional<double> exact = ShortIntegerAt(text, at); exact && at == text.size()) {
    return exact;
  }
  // Plain decimal form only: from_chars takes no '+', but "inf" and "nan".
  const std::string_view number = text.starts_with('+') ? text.substr(1) : text;
  const std::string_view unsigned_ =
      number.starts_with('-') && number.size() == text.size() ? number.substr(1) : number;
  if (unsigned_.empty() || (!IsDigit(unsigned_.front()) && unsigned_.front() != '.')) {
    return std::nullopt;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (end != number.data() + number.size()) {
    return std::nullopt;
  }
  if (error == std::errc::result_out_of_range) {
    // Beyond what a double holds: strtod, in the C locale whatever the
    // process's own is (a program that embeds partsc may set another), tells
    // an overflow (an infinity, refused below) from an underflow (a zero of
    // the number's sign).
    static const locale_t kC = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(number);
    value = kC != locale_t{} ? ::strtod_l(copy.c_str(), nullptr, kC)
                             : std::strtod(copy.c_str(), nullptr);
  } else if (error != std::errc()) {
    return std::nullopt;
  }
  return std::isinf(value) ? std::nullopt : std::optional<double>(value);
}

void OvStringUtil::ParseLine(std::string_view line, std::string_view& quoted, int quotedSize,
                             std::string_view& bang, int bangSize, float* numbers,
                             int16_t& numberCount, int maxNumbers, float (*pairs)[2],
                             int16_t& pairCount, int maxPairs) {
  quoted = MarkedText(line, '"', quotedSize);
  bang = MarkedText(line, '!', bangSize);

  const std::size_t numberRoom = static_cast<std::size_t>(std::max(maxNumbers, 0));
  const auto numberItems = VisitListItems(line, '[', ']', [&](std::size_t index, float value) {
    if (index < numberRoom) {
      numbers[index] = value;
    }
  });
  if (numberItems) {
    numberCount = CountOf(std::min(*numberItems, numberRoom));
  }

  // Items taken two at a time; a pair without its second number gets NaN.
  const std::size_t pairRoom = static_cast<std::size_t>(std::max(maxPairs, 0));
  const auto pairItems = VisitListItems(line, '<', '>', [&](std::size_t index, float value) {
    if (index / 2 < pairRoom) {
      pairs[index / 2][index % 2] = value;
    }
  });
  if (pairItems) {
    const std::size_t stored = std::min((*pairItems + 1) / 2, pairRoom);
    if (*pairItems % 2 == 1 && *pairItems / 2 < stored) {
      pairs[*pairItems / 2][1] = std::numeric_limits<float>::quiet_NaN();
    }
    pairCount = CountOf(stored);
  }
}

namespace {

// The length of the UTF-8 sequence that starts with `lead`, 0 for a byte
// that cannot start one.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) {
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF) {
    return 3;
  }
  return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

}  // namespace

bool IsUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;  // most texts are ASCII
      continue;
    }
    const auto length = static_cast<size_t>(SequenceLength(lead));
    if (length == 0 || bytes.size() - i < length) {
      return false;
    }
    // The range of the second byte rules out the overlong forms, the
    // surrogates and what lies above U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      text += c;
      continue;
    }
    text += static_cast<char>(0xC0 | (u >> 6));
    text += static_cast<char>(0x80 | (u & 0x3F));
  }
  return text;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string bytes;
  bytes.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      bytes += static_cast<char>(byte);
      continue;
    }
    // Latin-1 has U+0080 to U+00FF: C2 or C3 and one continuation byte.
    const bool latin1 = (byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size() &&
                        (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80;
    if (!latin1) {
      return std::nullopt;
    }
    bytes += static_cast<char>(((byte & 0x03) << 6) | (utf8[++i] & 0x3F));
  }
  return bytes;
}

std::string UriPath(std::string_view path) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += c;
      continue;
    }
    out += '%';
    out += kHex[u >> 4];
    out += kHex[u & 0xF];
  }
  return out;
}

std::string FileUri(std::string_view path) {
  return "file://" + UriPath(path);
}

std::string AsUtf8(std::string_view bytes) {
  return IsUtf8(bytes) ? std::string(bytes) : Latin1ToUtf8(bytes);
}

}  // namespace partsc
