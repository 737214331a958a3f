#include "compiler/tokenizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace partsc {
namespace {

TEST(ExtractFieldTest, Table) {
  const std::string n22 = "ABCDEFGHIJKLMNOPQRSTUV";
  const struct {
    std::string line;
    char delimiter;
    int maxLength;
    int result;
    std::string field;
  } cases[] = {
      {"$$PARTS <1,2>", '!', 22, -1, ""},
      {"$$PARTS !  \t !", '!', 22, -1, ""},
      {"x \"\" \"second\"", '"', 64, -1, ""},
      {"! \tpadded name\t !", '!', 22, 0, "padded name"},
      {"!\rx\r!", '!', 22, 0, "\rx\r"},  // only blanks and tabs are trimmed
      {"x \"in !quote! text\" !name!", '!', 64, 0, "quote"},
      {"$$SIZE \"open name", '"', 32, 0, "open name"},
      {"\"abc\"def\"", '"', 64, 0, "abc"},
      {"(a(b(c)d)e) tail", '(', 64, 0, "a(b(c)d)e"},
      {"(a(b)c", '(', 64, 0, "a(b)c"},
      {") (x)", '(', 64, 0, "x"},
      {"!" + n22 + "xyz!", '!', 22, 1, n22},
      {"!  " + n22 + "  !", '!', 22, 0, n22},
      {"!x!", '!', 0, 1, ""},
      {"!%s%n%d!", '!', 22, 0, "%s%n%d"},
      {"<1,2> !x!", '<', 22, -2, ""},
      {"(x)", ')', 22, -2, ""},
  };
  for (const auto& c : cases) {
    std::string field = "left over";
    EXPECT_EQ(ExtractField(c.line, c.delimiter, c.maxLength, field), c.result) << c.line;
    EXPECT_EQ(field, c.field) << c.line;
  }
}

struct Item {
  int32_t type;
  double number;
  std::string name;
};

TEST(ParseValueListTest, Table) {
  const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
  const struct {
    std::string line;
    int maxItems;
    char bracket;
    std::vector<Item> items;  // what the count and the slots below it must hold
  } cases[] = {
      {"$$PARTS !N! <12, 7>", 2, '<', {{1, 12, ""}, {1, 7, ""}}},
      {"<0, 0.0, -0>", 3, '<', {{0, 0, "0"}, {0, 0, "0.0"}, {0, 0, "-0"}}},  // zero is a name
      {"<1,2,3>", 2, '<', {{1, 1, ""}, {1, 2, ""}}},
      {"<>", 2, '<', {{0, 0, ""}}},
      {"<5,>", 3, '<', {{1, 5, ""}, {0, 0, ""}}},
      {"<  , \t>", 3, '<', {{0, 0, ""}, {0, 0, ""}}},
      {"<" + name40 + ">", 1, '<', {{2, 0, name40.substr(0, 32)}}},
      {"<" + name40.substr(0, 32) + ">", 1, '<', {{0, 0, name40.substr(0, 32)}}},
      {"pre <3> post <4>", 2, '<', {{1, 3, ""}}},
      {"<1> 2>", 2, '<', {{1, 1, ""}}},
      {"<1, 2", 2, '<', {{1, 1, ""}, {1, 2, ""}}},
      {"s [2, x] <1,1>", 2, '[', {{1, 2, ""}, {0, 0, "x"}}},
      {"< -1.5 ,\t1e10 >", 2, '<', {{1, -1.5, ""}, {1, 1e10, ""}}},
      {"<1e+2, 25E-2, 3e>", 3, '<', {{1, 100, ""}, {1, 0.25, ""}, {0, 0, "3e"}}},
      {"<12abc, nan, 1e999>", 3, '<', {{0, 0, "12abc"}, {0, 0, "nan"}, {0, 0, "1e999"}}},
      {"$$PARTS !N!", 2, '<', {}},
      {"(1,2)", 2, '(', {}},
      {"<1,2>", 0, '<', {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ValueItem items[4];
    int32_t types[4] = {-7, -7, -7, -7};
    for (ValueItem& item : items) {
      item.number = -99.0;
      item.name = "untouched";
    }
    int32_t count = -1;
    ParseValueList(c.line, c.maxItems, c.bracket, items, types, count);
    ASSERT_EQ(count, static_cast<int32_t>(c.items.size()));
    for (size_t i = 0; i < 4; ++i) {
      if (i >= c.items.size()) {
        EXPECT_EQ(types[i], -7) << "slot " << i << " was written";
        EXPECT_EQ(items[i].name, "untouched") << "slot " << i << " was written";
        continue;
      }
      EXPECT_EQ(types[i], c.items[i].type) << "item " << i;
      if (c.items[i].type == kItemNumber) {
        EXPECT_EQ(items[i].number, c.items[i].number) << "item " << i;
      } else {
        EXPECT_EQ(items[i].name, c.items[i].name) << "item " << i;
      }
    }
  }
}

TEST(TruncateTo16BitsTest, Table) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int16_t expected;
  } cases[] = {
      {12.7, 12},
      {-0.9, 0},
      {32767.9, 32767},
      {32768, -32768},
      {-32769, 32767},
      {65537, 1},
      {-70000, -4464},
      {4294967301.0, 5},
      {-1e10, 7168},
      {1e300, 0},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {-kInf, 0},
      {std::ldexp(1.0, 52) + 5, 5},
      {-(std::ldexp(1.0, 52) + 5), -5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TruncateTo16Bits(c.value), c.expected) << c.value;
  }
}

}  // namespace
}  // namespace partsc
