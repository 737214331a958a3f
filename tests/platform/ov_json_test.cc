// The guarded JSON parse: each limit refuses in words, for both kinds of
// value partsc builds (the language server's json, the document's
// ordered_json, whose keys keep their order).
#include "platform/ov_json.h"

#include <gtest/gtest.h>

#include <string>

namespace partsc {
namespace {

TEST(JsonGuard, RefusesWhatBreaksALimitAndKeepsTheOrderOfKeys) {
  const OvJsonLimits limits{64, 3};
  struct Case {
    std::string text;
    OvJsonResult result;
    std::string error;  // a piece of the refusal
  };
  const Case cases[] = {
      {R"({"b":1,"a":[2,{"c":null}]})", OvJsonResult::kOk, ""},
      {"[[[1]]]", OvJsonResult::kOk, ""},
      {"[[[[1]]]]", OvJsonResult::kRefused, "values nested deeper than 3"},
      {R"({"a":1,"b":2,"a":3})", OvJsonResult::kRefused, "the key \"a\" is given twice"},
      {"[1e400]", OvJsonResult::kRefused, "number overflow parsing '1e400' at byte"},
      {std::string(65, ' ') + "1", OvJsonResult::kRefused, "longer than 64 bytes"},
      {"{\"a\":\"x\ny\"}", OvJsonResult::kRefused, "last read: '\"x<U+000A>'"},
      // A message quotes at most 40 characters of what was read.
      {"\"" + std::string(50, 'a'), OvJsonResult::kRefused,
       "last read: '\"" + std::string(39, 'a') + "...'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = ParseJsonGuarded<nlohmann::json>(c.text, limits);
    EXPECT_EQ(parsed.status, c.result);
    EXPECT_NE(parsed.reason.find(c.error), std::string::npos) << parsed.reason;
    const auto again = ParseJsonGuarded<nlohmann::ordered_json>(c.text, limits);
    EXPECT_EQ(again.status, c.result);
    EXPECT_EQ(again.reason, parsed.reason);
    if (c.result == OvJsonResult::kOk) {
      EXPECT_EQ(again.value.dump(), c.text);
      EXPECT_EQ(parsed.value, nlohmann::json::parse(c.text));
    } else {
      EXPECT_TRUE(parsed.value.is_null() && again.value.is_null());
    }
  }
}

TEST(JsonGuard, AnExcerptIsShortEscapedAndCutBetweenCharacters) {
  EXPECT_EQ(Excerpt("a\nb", 10), "a\\x0ab");
  EXPECT_EQ(Excerpt("abcdef", 4), "abcd...");
  EXPECT_EQ(Excerpt("ab\xc3\xa9", 3), "ab...");
}

}  // namespace
}  // namespace partsc
