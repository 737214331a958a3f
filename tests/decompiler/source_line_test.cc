// Source lines laid out for the compiler's first-occurrence rule: exact lines,
// and every text field read back by the compiler's own tokenizer.
#include "decompiler/source_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/tokenizer.h"

namespace partsc::testing {
namespace {

// Every given text field of `fields` as the tokenizer reads it from `line`.
void ExpectFieldsReadBack(const std::string& line, const std::vector<Field>& fields) {
  for (const Field& field : fields) {
    if (field.open == '<' || field.open == '[') {
      continue;
    }
    std::string text;
    ExtractField(line, field.open, 64, text);
    EXPECT_EQ(text, field.given ? field.text : "") << line << " field " << field.open;
  }
}

TEST(LayOut, EveryFieldIsFoundAtItsFirstOpening) {
  struct Case {
    const char* label;
    std::string keyword;
    std::vector<Field> fields;
    std::string line;  // empty: no order reads back
  };
  const Case cases[] = {
      {"more ( than ) stays open at the end",
       "p",
       {{'(', "a(b", true}, {'"', "c", true}},
       "p \"c\" (a(b"},
      {"overlapping quote and exclamation fields",
       "$TOP",
       {{'!', "a\"b", true}, {'"', "b!c", true}},
       "$TOP !a\"b!c\""},
      {"each holds the other's opening, but not so that they overlap",
       "$TOP",
       {{'!', "a\"b", true}, {'"', "x!y", true}},
       ""},
      {"two openings of the other field in the first",
       "$TOP",
       {{'!', "a\"b\"c", true}, {'"', "b!", true}},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string line = "unchanged";
    const Fit fit = LayOut(c.keyword, c.fields, false, 78, line);
    if (c.line.empty()) {
      EXPECT_EQ(fit, Fit::kNoOrder);
      EXPECT_EQ(line, "unchanged");
      continue;
    }
    ASSERT_EQ(fit, Fit::kFits);
    EXPECT_EQ(line, c.line);
    ExpectFieldsReadBack(line, c.fields);
  }
}

TEST(PlaceLine, ReadableThenCompactThenTheLastCharacter) {
  const std::string c60(60, 'c');
  const std::string c64(64, 'c');
  auto parts = [](const std::string& comment) {
    return [comment](bool compact) {
      return std::vector<Field>{
          {'!', "ab", true}, {'<', NumberPair(30000, 0, compact), true}, {'"', comment, true}};
    };
  };
  std::string line;
  ASSERT_EQ(PlaceLine("$$PARTS", parts("short"), line), Fit::kFits);
  EXPECT_EQ(line, "$$PARTS !ab! <30000,0> \"short\"");
  ASSERT_EQ(PlaceLine("$$PARTS", parts(c60), line), Fit::kFits);
  EXPECT_EQ(line, "$$PARTS!ab!<3e4>\"" + c60 + "\"");
  // 79 characters only with the comment left open at the end of the line.
  ASSERT_EQ(PlaceLine("$$PARTS", parts(c60 + "xx"), line), Fit::kFits);
  EXPECT_EQ(line, "$$PARTS!ab!<3e4>\"" + c60 + "xx");
  EXPECT_EQ(PlaceLine("$$PARTS", parts(c64), line), Fit::kTooLong);
  EXPECT_EQ(NotPlaced(Fit::kTooLong), "does not fit on one line of 79 characters");
}

TEST(ShortNumber, ReadsBackAsTheSame16Bits) {
  struct Case {
    int32_t value;
    std::string readable;
    std::string compact;
  };
  const Case cases[] = {{12, "12", "12"},
                        {30000, "30000", "3e4"},
                        {-32768, "-32768", "32768"},
                        {-30000, "-30000", "-3e4"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ShortNumber(c.value, false), c.readable);
    EXPECT_EQ(ShortNumber(c.value, true), c.compact);
    ValueItem item;
    int32_t type = 0;
    int32_t count = 0;
    ParseValueList("<" + c.compact + ">", 1, '<', &item, &type, count);
    ASSERT_EQ(type, kItemNumber) << c.compact;
    EXPECT_EQ(TruncateTo16Bits(item.number), c.value);
  }
  EXPECT_EQ(NumberPair(0, 5, false), "0,5");
  EXPECT_EQ(NumberPair(0, 5, true), ",5");
  EXPECT_EQ(NumberPair(7, 0, true), "7");
}

TEST(EscapedText, ExpansionGivesTheTextBack) {
  struct Case {
    std::string text;
    std::string written;  // empty: cannot be written
  };
  const Case cases[] = {
      {"a{b", "a{}b"},     {"x{y)", "x{(}y)"}, {"{{)", "{(}{})"},
      {"{a))", "{((}a))"}, {")x{", ""},        {"{}", "{}}"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> written = EscapedText(c.text);
    EXPECT_EQ(written.value_or(""), c.written) << c.text;
  }
  EXPECT_TRUE(ClosesEarly("a)b"));
  EXPECT_FALSE(ClosesEarly("(a)b("));
}

TEST(TextProblem, WhatNoFieldReadsBack) {
  struct Case {
    std::string text;
    char open;
    size_t limit;
    bool cut;
    std::string problem;
  };
  const Case cases[] = {
      {"abc", '"', 3, true, ""},
      {"abcd", '"', 3, true, "is longer than 3 characters"},
      {" a", '"', 8, true, "begins or ends with a blank or tab"},
      {"ab ", '!', 3, false, "begins or ends with a blank or tab"},
      {"a ", '(', 64, true, ""},
      {"a\"b", '"', 8, true, "holds a double quote"},
      {"a!b", '!', 8, true, "holds an exclamation mark"},
      {std::string("a\0b", 3), '"', 8, true, "holds a zero byte"},
      {"a\nb", '(', 8, true, "holds a line feed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextProblem(c.text, c.open, c.limit, c.cut), c.problem) << c.text;
  }
  EXPECT_EQ(Padded("ab ", 3), "ab .");
  EXPECT_EQ(Padded("ab ", 4), "ab ");
  EXPECT_EQ(Padded("abc", 3), "abc");
}

}  // namespace
}  // namespace partsc::testing
