#include "compiler/tokenizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace partsc {
namespace {

struct FieldCase {
  const char* label;
  std::string line;
  char delimiter;
  int maxLength;
  int result;
  std::string field;
};

TEST(ExtractFieldTest, Table) {
  const std::string name30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
  const FieldCase cases[] = {
      {"no opening character", "$$PARTS <1,2>", '!', 22, -1, ""},
      {"only blanks and tabs", "$$PARTS !  \t !", '!', 22, -1, ""},
      {"empty pair", "x \"\" \"second\"", '"', 64, -1, ""},
      {"plain", "$$PARTS !BOLT! <1,2>", '!', 22, 0, "BOLT"},
      {"trimmed both ends", "! \tpadded name\t !", '!', 22, 0, "padded name"},
      {"only blank and tab trimmed", "!\rx\r!", '!', 22, 0, "\rx\r"},
      {"first occurrence anywhere", "x \"in !quote! text\" !name!", '!', 64, 0, "quote"},
      {"unclosed runs to the end", "$$SIZE \"open name", '"', 32, 0, "open name"},
      {"quotes do not nest", "\"abc\"def\"", '"', 64, 0, "abc"},
      {"parentheses nest", "t !A! (x(y)z)", '(', 64, 0, "x(y)z"},
      {"deep nesting", "(a(b(c)d)e) tail", '(', 64, 0, "a(b(c)d)e"},
      {"unclosed nesting", "(a(b)c", '(', 64, 0, "a(b)c"},
      {"closing before opening", ") (x)", '(', 64, 0, "x"},
      {"cut to the limit", "!" + name30 + "!", '!', 22, 1, name30.substr(0, 22)},
      {"exactly the limit", "!" + name30.substr(0, 22) + "!", '!', 22, 0, name30.substr(0, 22)},
      {"cut after trimming", "!  " + name30.substr(0, 22) + "  !", '!', 22, 0,
       name30.substr(0, 22)},
      {"limit zero", "!x!", '!', 0, 1, ""},
      {"percent signs kept", "!%s%n%d!", '!', 22, 0, "%s%n%d"},
      {"delimiter not in the table", "<1,2> !x!", '<', 22, -2, ""},
      {"closing character is no delimiter", "(x)", ')', 22, -2, ""},
  };
  for (const FieldCase& c : cases) {
    std::string field = "left over";
    EXPECT_EQ(ExtractField(c.line, c.delimiter, c.maxLength, field), c.result) << c.label;
    EXPECT_EQ(field, c.field) << c.label;
  }
}

struct Item {
  int32_t type;
  double number;
  std::string name;
};

struct ListCase {
  const char* label;
  std::string line;
  int maxItems;
  char bracket;
  std::vector<Item> items;  // what the count and the slots below it must hold
};

TEST(ParseValueListTest, Table) {
  const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  const ListCase cases[] = {
      {"two numbers", "$$PARTS !N! <12, 7>", 2, '<', {{1, 12, ""}, {1, 7, ""}}},
      {"zero is a name", "<0, 0.0>", 2, '<', {{0, 0, "0"}, {0, 0, "0.0"}}},
      {"negative zero is a name", "<-0>", 2, '<', {{0, 0, "-0"}}},
      {"more items than slots", "<1,2,3>", 2, '<', {{1, 1, ""}, {1, 2, ""}}},
      {"empty brackets", "<>", 2, '<', {{0, 0, ""}}},
      {"trailing comma", "<5,>", 3, '<', {{1, 5, ""}, {0, 0, ""}}},
      {"blank items", "<  , \t>", 3, '<', {{0, 0, ""}, {0, 0, ""}}},
      {"name of 40 characters is cut", "<" + name40 + ">", 1, '<', {{2, 0, name40.substr(0, 32)}}},
      {"name of 32 characters",
       "<" + name40.substr(0, 32) + ">",
       1,
       '<',
       {{0, 0, name40.substr(0, 32)}}},
      {"only the first list", "pre <3> post <4>", 2, '<', {{1, 3, ""}}},
      {"ends at the first closing", "<1> 2>", 2, '<', {{1, 1, ""}}},
      {"unclosed list", "<1, 2", 2, '<', {{1, 1, ""}, {1, 2, ""}}},
      {"square brackets", "s [2, x] <1,1>", 2, '[', {{1, 2, ""}, {0, 0, "x"}}},
      {"numbers trimmed", "< -1.5 ,\t1e10 >", 2, '<', {{1, -1.5, ""}, {1, 1e10, ""}}},
      {"not numbers", "<12abc, nan>", 2, '<', {{0, 0, "12abc"}, {0, 0, "nan"}}},
      {"out of range is a name", "<1e999>", 1, '<', {{0, 0, "1e999"}}},
      {"no opening bracket", "$$PARTS !N!", 2, '<', {}},
      {"bracket not in the table", "(1,2)", 2, '(', {}},
      {"no room", "<1,2>", 0, '<', {}},
  };
  for (const ListCase& c : cases) {
    ValueItem items[4];
    int32_t types[4] = {-7, -7, -7, -7};
    for (ValueItem& item : items) {
      item.number = -99.0;
      item.name = "untouched";
    }
    int32_t count = -1;
    ParseValueList(c.line, c.maxItems, c.bracket, items, types, count);
    ASSERT_EQ(count, static_cast<int32_t>(c.items.size())) << c.label;
    for (size_t i = 0; i < c.items.size(); ++i) {
      EXPECT_EQ(types[i], c.items[i].type) << c.label << " item " << i;
      if (c.items[i].type == kItemNumber) {
        EXPECT_EQ(items[i].number, c.items[i].number) << c.label << " item " << i;
      } else {
        EXPECT_EQ(items[i].name, c.items[i].name) << c.label << " item " << i;
      }
    }
    for (size_t i = c.items.size(); i < 4; ++i) {
      EXPECT_EQ(types[i], -7) << c.label << " slot " << i << " was written";
      EXPECT_EQ(items[i].name, "untouched") << c.label << " slot " << i << " was written";
    }
  }
}

TEST(TruncateTo16BitsTest, Table) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int16_t expected;
  } cases[] = {
      {12.7, 12},
      {-1.5, -1},
      {-0.9, 0},
      {32767.9, 32767},
      {32768, -32768},
      {-32768, -32768},
      {-32769, 32767},
      {65535, -1},
      {65536, 0},
      {65537, 1},
      {-70000, -4464},
      {4294967301.0, 5},
      {1e10, -7168},
      {-1e10, 7168},
      {1e300, 0},
      {kNaN, 0},
      {kInf, 0},
      {-kInf, 0},
      {std::numeric_limits<double>::max(), 0},
      {std::ldexp(1.0, 52) + 5, 5},
      {-(std::ldexp(1.0, 52) + 5), -5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TruncateTo16Bits(c.value), c.expected) << c.value;
  }
}

}  // namespace
}  // namespace partsc
