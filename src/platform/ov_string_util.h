// String parsing services of the base library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The units that escape names and texts beside these services take the
// escapes from here too.

namespace partsc {

// True when `bytes` is valid UTF-8 (no overlong form, no surrogate, nothing
// above U+10FFFF).
bool IsUtf8(std::string_view bytes);

// `bytes` read as Latin-1 (each byte the character of the same number), in
// UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// The UTF-8 text `utf8` in Latin-1, one byte a character; none when it holds
// a character above U+00FF.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// `path` for a URI: the letters, digits, "-", ".", "_", "~" and "/" stay,
// every other byte becomes "%XX".
std::string UriPath(std::string_view path);
// The "file:" URI of an absolute path.
std::string FileUri(std::string_view path);

// The UTF-8 text `bytes` as it stands, or, when it is not valid UTF-8, read
// as Latin-1: a text for JSON that keeps every byte visible.
std::string AsUtf8(std::string_view bytes);

// Whether OvStringUtil::ParseDouble reads a text as it stands, or first
// trims it of blanks and tabs at both ends.
enum class NumberTrim { kAsItStands, kTrimFirst };

class OvStringUtil {
 public:
  // Removes trailing blanks, tabs, carriage returns and line feeds.
  static void TrimRight(std::string& text);

  // A blank or a tab.
  static bool IsBlank(char c) { return c == ' ' || c == '\t'; }

  // The text without blanks and tabs at either end.
  static std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
      text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
      text.remove_suffix(1);
    }
    return text;
  }

  // The number of a text in plain decimal form (optional sign, digits with
  // an optional fraction, optional exponent); none for anything else (empty,
  // "12abc", hex, inf, nan, out of range).
  static std::optional<double> ParseDouble(std::string_view text, NumberTrim trim);

  // Takes apart a member line. `quoted` and `bang` become views of the text
  // between the first double quote (or exclamation mark) and the next one,
  // trimmed of blanks and tabs, cut to bufferSize-1 characters; they are left
  // empty when the line has no such text. The first [...] list gives
  // `numbers` (at most maxNumbers, count in `numberCount`); the first <...>
  // list gives `pairs`, its numbers taken two at a time (at most maxPairs,
  // count in `pairCount`). A list item that is not a number is stored as
  // NaN. A list the line does not have leaves numberCount, pairCount and the
  // arrays as the caller set them; a list holding only blanks has no items.
  static void ParseLine(std::string_view line, std::string_view& quoted, int quotedSize,
                        std::string_view& bang, int bangSize, float* numbers, int16_t& numberCount,
                        int maxNumbers, float (*pairs)[2], int16_t& pairCount, int maxPairs);
};

// Cleans the end of a line read from a control or source file: removes
// trailing tabs, line feeds and blanks; a carriage return and every other
// character stay, and the start of the line is never touched.
void TrimLineEnd(std::string& line);
// The same for a line that is a view of the text it was read from.
// A loop, as every source line passes here: find_last_not_of would search
// the set once for each character it looks at.
inline std::string_view TrimmedLineEnd(std::string_view line) {
  size_t keep = line.size();
  while (keep > 0 && (line[keep - 1] == '\n' || OvStringUtil::IsBlank(line[keep - 1]))) {
    --keep;
  }
  return line.substr(0, keep);
}

}  // namespace partsc
