// ExtractField against the character walk that defines it, on many random
// lines made of delimiters, blanks, tabs and letters.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "compiler/tokenizer.h"

namespace partsc {
namespace {

// The walk: characters are skipped until the opening character; then the
// closing character is tested first (it lowers the depth and ends the field
// at 0), an opening character raises the depth, and everything but the final
// closing character goes into the field. Blanks and tabs are trimmed, the
// rest cut to `maxLength`.
int Walk(const std::string& line, char opening, char closing, int maxLength, std::string& field) {
  std::string gathered;
  int depth = 0;
  for (const char c : line) {
    if (depth == 0) {
      depth = c == opening ? 1 : 0;
      continue;
    }
    if (c == closing && --depth == 0) {
      break;
    }
    if (c != closing && c == opening) {
      ++depth;
    }
    gathered.push_back(c);
  }
  const size_t first = gathered.find_first_not_of(" \t");
  if (first == std::string::npos) {
    field.clear();
    return -1;
  }
  gathered = gathered.substr(first, gathered.find_last_not_of(" \t") - first + 1);
  field = gathered.substr(0, static_cast<size_t>(maxLength));
  return gathered.size() > static_cast<size_t>(maxLength) ? 1 : 0;
}

TEST(FieldScanTest, EveryFieldIsWhatTheCharacterWalkGathers) {
  const std::string alphabet = "\"\"!!(()) \t\tab";
  const struct {
    char opening;
    char closing;
  } pairs[] = {{'"', '"'}, {'!', '!'}, {'(', ')'}};
  uint32_t state = 12345;
  auto below = [&state](size_t bound) {
    state = state * 1664525u + 1013904223u;
    return static_cast<size_t>(state >> 8) % bound;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string line(below(24), ' ');
    for (char& c : line) {
      c = alphabet[below(alphabet.size())];
    }
    const auto& pair = pairs[below(3)];
    const int maxLength = static_cast<int>(below(6));
    std::string expected;
    const int expectedResult = Walk(line, pair.opening, pair.closing, maxLength, expected);
    std::string field = "stale";
    ASSERT_EQ(ExtractField(line, pair.opening, maxLength, field), expectedResult)
        << "[" << line << "] " << pair.opening << " " << maxLength;
    ASSERT_EQ(field, expected) << "[" << line << "] " << pair.opening << " " << maxLength;
  }
}

}  // namespace
}  // namespace partsc
