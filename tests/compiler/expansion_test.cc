// ExpandMacros against the walk that defines it, on random texts of braces,
// macro names and other characters, with limits small and large.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "compiler/member_line.h"
#include "compiler/parts_line.h"

namespace partsc {
namespace {

// The walk: outside braces a piece runs to the next "{", which is passed
// over; inside, the piece up to the next "}" (passed over) or the end is a
// macro name, replaced by its value or, for an unknown name, by a lone "{".
// The result is cut to `limit` characters (answer 1) or kept whole (0).
int Walk(std::string& text, size_t limit) {
  if (text.empty()) {
    return 0;
  }
  std::string result;
  size_t at = 0;
  bool inside = false;
  while (at <= text.size()) {
    const size_t end = text.find(inside ? '}' : '{', at);
    const std::string piece =
        text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!inside) {
      result += piece;
    } else {
      std::string value;
      result += GetMacroValue(piece, value) == 0 ? value : "{";
    }
    if (end == std::string::npos) {
      break;
    }
    at = end + 1;
    inside = !inside;
  }
  if (result.size() > limit) {
    text = result.substr(0, limit);
    return 1;
  }
  text = result;
  return 0;
}

TEST(ExpansionTest, EveryTextExpandsAsTheWalkDoes) {
  ClearMacros();
  ASSERT_EQ(DefineMacro("A", "25"), 0);
  ASSERT_EQ(DefineMacro("BB", std::string(64, 'v')), 0);
  ASSERT_EQ(DefineMacro("", "empty name"), 0);
  ASSERT_EQ(DefineMacro("C}", "never found"), 0);
  const std::string pieces[] = {"{", "}", "A", "BB", "x", " ", "{A}", "{BB}", "{Q}", "{}"};
  uint32_t state = 99;
  auto below = [&state](size_t bound) {
    state = state * 1664525u + 1013904223u;
    return static_cast<size_t>(state >> 8) % bound;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (size_t n = below(12); n > 0; --n) {
      text += pieces[below(std::size(pieces))];
    }
    const size_t limits[] = {0, 1, 5, 64, 127, 128, 300};
    const size_t limit = limits[below(std::size(limits))];
    std::string expected = text;
    const int expectedResult = Walk(expected, limit);
    std::string expanded = text;
    ASSERT_EQ(ExpandMacros(expanded, static_cast<int>(limit)), expectedResult)
        << "[" << text << "] limit " << limit;
    ASSERT_EQ(expanded, expected) << "[" << text << "] limit " << limit;
  }
  ClearMacros();
}

}  // namespace
}  // namespace partsc
