// Byte offsets and the protocol's positions, both ways, in UTF-16 and UTF-8.
#include "lsp/text_document.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ov_string_util.h"

namespace partsc::lsp {
namespace {

struct PositionCase {
  size_t offset;
  int64_t line;
  int64_t utf16;
  int64_t utf8;
};

TEST(LineIndex, ConvertsOffsetsAndPositionsInBothEncodings) {
  // Lines end with "\n", "\r\n" and a lone "\r"; "é" is 2 bytes and 1 unit,
  // the emoji 4 bytes and 2 units.
  const std::string text = "ab\nxé😀z\r\nq\rlast";
  const LineIndex index(text);
  ASSERT_EQ(index.LineCount(), 4u);
  const PositionCase cases[] = {
      {0, 0, 0, 0},  {2, 0, 2, 2},  {3, 1, 0, 0},  {4, 1, 1, 1},  {6, 1, 2, 3},  {10, 1, 4, 7},
      {11, 1, 5, 8}, {12, 1, 5, 8}, {13, 2, 0, 0}, {14, 2, 1, 1}, {15, 3, 0, 0}, {19, 3, 4, 4},
  };
  for (const PositionCase& c : cases) {
    SCOPED_TRACE(c.offset);
    const Position utf16 = index.PositionOf(c.offset, PositionEncoding::kUtf16);
    const Position utf8 = index.PositionOf(c.offset, PositionEncoding::kUtf8);
    EXPECT_EQ(utf16.line, c.line);
    EXPECT_EQ(utf16.character, c.utf16);
    EXPECT_EQ(utf8.character, c.utf8);
    if (c.offset != 12) {  // inside "\r\n": it stands at the line's end
      EXPECT_EQ(index.OffsetOf(utf16, PositionEncoding::kUtf16), c.offset);
      EXPECT_EQ(index.OffsetOf(utf8, PositionEncoding::kUtf8), c.offset);
    }
  }
}

TEST(LineIndex, ClampsPositionsOutsideTheText) {
  const std::string text = "a😀b\nc";
  const LineIndex index(text);
  EXPECT_EQ(index.OffsetOf({0, 99}, PositionEncoding::kUtf16), 6u) << "past the line's end";
  EXPECT_EQ(index.OffsetOf({7, 0}, PositionEncoding::kUtf16), text.size()) << "past the last line";
  EXPECT_EQ(index.OffsetOf({-1, 5}, PositionEncoding::kUtf16), 0u);
  EXPECT_EQ(index.OffsetOf({0, -3}, PositionEncoding::kUtf8), 0u);
  EXPECT_EQ(index.OffsetOf({0, 2}, PositionEncoding::kUtf16), 1u) << "inside the emoji's pair";
  EXPECT_EQ(index.OffsetOf({0, 3}, PositionEncoding::kUtf8), 1u) << "inside its bytes";
}

TEST(ApplyChange, ReplacesTheRangeInEitherOrder) {
  std::string text = "$$PARTS !a!\n$$END\n";
  ApplyChange(text, {{1, 2}, {1, 5}}, "APG", PositionEncoding::kUtf16);
  EXPECT_EQ(text, "$$PARTS !a!\n$$APG\n");
  ApplyChange(text, {{0, 10}, {0, 9}}, "bolt", PositionEncoding::kUtf16);
  EXPECT_EQ(text, "$$PARTS !bolt!\n$$APG\n");
  ApplyChange(text, {{9, 0}, {9, 0}}, "$$END", PositionEncoding::kUtf8);
  EXPECT_EQ(text, "$$PARTS !bolt!\n$$APG\n$$END");
}

TEST(Uri, NamesFilesBothWays) {
  EXPECT_EQ(PathOfUri("file:///home/me/a%20b%25.src"), "/home/me/a b%.src");
  EXPECT_EQ(PathOfUri("file://localhost/x/%C3%A9.src"), "/x/\xC3\xA9.src");
  EXPECT_EQ(PathOfUri("file://server/x.src"), "");
  EXPECT_EQ(PathOfUri("untitled:Untitled-1"), "");
  EXPECT_EQ(PathOfUri("file:///bad%zz"), "/bad%zz");
  EXPECT_EQ(PathOfUri("file:///x/a%25"), "/x/a%");
  EXPECT_EQ(PathOfUri("file:///x/a%2"), "/x/a%2");
  EXPECT_EQ(PathOfUri("file:///x/a%09b%0A.src"), "/x/a\tb\n.src");
  EXPECT_EQ(FileUri("/home/me/a b%.src"), "file:///home/me/a%20b%25.src");
  EXPECT_EQ(PathOfUri(FileUri("/x/\xC3\xA9 #?.src")), "/x/\xC3\xA9 #?.src");
}

}  // namespace
}  // namespace partsc::lsp
