// The JSON document of a parts file: every byte of a text comes back, a
// document that breaks a rule is refused naming the value and the rule, and
// every file the compiler writes comes back byte for byte.
#include "partsfile/parts_json.h"

#include <gtest/gtest.h>
#include <partsc/partsc.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gen_library.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "platform/ov_string_util.h"
#include "support/test_support.h"

namespace partsc {
namespace {

namespace fs = std::filesystem;
using testing::ReplaceAll;

// What PartsModelFromJson refuses, "POINTER: RULE"; empty when it reads.
std::string Refusal(const Json& document, PartsModel& model) {
  JsonModel read = PartsModelFromJson(document);
  model = std::move(read.model);
  return read.problem ? read.problem->pointer + ": " + read.problem->rule : std::string();
}

// The bytes the document of `bytes` gives back, through its text.
std::string RoundTrip(const std::string& bytes) {
  const PartsModel decoded = DecodePartsFile(bytes);
  std::string text;
  WritePartsModelJson(decoded, [&text](std::string_view piece) { text += piece; });
  EXPECT_EQ(text, Json::parse(text).dump());
  const OvJsonParsed<Json> parsed = ParseJsonGuarded<Json>(text, kJsonDocumentLimits);
  EXPECT_TRUE(parsed.Ok());
  PartsModel model;
  EXPECT_EQ(Refusal(parsed.value, model), "");
  return EncodeModel(model).bytes;
}

const char* kSource =
    "$$PARTS !bolt! <3,5> \"Hex bolts\"\n"
    "$$SPEC <12,2>\n"
    "$$APG\n"
    "$TOP !BOLT_T! from above\n"
    "$$COMMON\n"
    "s <1,1>\"MATERIAL\"\n"
    "$$TITLE \"Bolts\"\n"
    "$$SIZE \"M6\" !M6 x 20!\n"
    "s [7] <6,0>\"HEAD\"\n"
    "p !D! (6) <0,1>\"nominal\"\n"
    "$$END\n";

std::string Compiled(const std::string& source) {
  const CompileResult result = CompileText(source, "/tmp/bolt.src");
  EXPECT_TRUE(result.Compiled());
  return result.bytes;
}

// Every byte 1 to 255 in every kind of text field: ASCII and valid UTF-8 come
// out as strings, other bytes as {"latin1": ...}, and all come back.
TEST(PartsJson, EveryByteOfEveryTextComesBack) {
  for (int b = 1; b <= 255; ++b) {
    const std::string byte(1, static_cast<char>(b));
    std::string source = kSource;
    source = ReplaceAll(source, "\"Bolts\"", "\"Bo" + byte + "lts\"");
    source = ReplaceAll(source, "nominal", "nom" + byte);
    source = ReplaceAll(source, "M6 x 20", "M6 " + byte);
    if (byte == "\"" || byte == "!" || byte == "\n" || byte == "\r" || byte == "(" || byte == ")" ||
        byte == "{" || byte == "<" || byte == "[" || byte == " " || byte == "\t") {
      continue;  // a delimiter of the source: not a byte a text can hold there
    }
    const std::string bytes = Compiled(source);
    ASSERT_EQ(RoundTrip(bytes), bytes) << "byte " << b;
    const Json document = Json::parse(ModelToJson(DecodePartsFile(bytes)));
    const Json& title = document["header"]["title"];
    if (b < 0x80) {
      EXPECT_EQ(title, "Bo" + byte + "lts") << b;
    } else {
      EXPECT_EQ(title["latin1"], "Bo" + Latin1ToUtf8(byte) + "lts") << b;
    }
  }
}

TEST(PartsJson, TextFormsByBytes) {
  struct Case {
    std::string bytes;
    std::string json;
  };
  const std::vector<Case> cases = {
      {"Schraube", R"("Schraube")"},
      {"Gr\xC3\xA9", R"("Gré")"},                                   // UTF-8 é
      {"Gr\xE9", R"({"latin1":"Gré"})"},                            // Latin-1 é
      {"\xC0\xAF", R"({"latin1":"À¯"})"},                           // overlong "/"
      {"\xED\xA0\x80", R"({"latin1":"í\u00a0\u0080"})"},            // a surrogate
      {"\xF4\x90\x80\x80", R"({"latin1":"ô\u0090\u0080\u0080"})"},  // above U+10FFFF
      {"\xE2\x82", R"({"latin1":"â\u0082"})"},                      // cut short
      {"\xF0\x9F\x94\xA9", R"("🔩")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextJson(c.bytes), Json::parse(c.json)) << c.json;
  }
}

// A document the compiler's file gives, with one value changed.
Json Document() {
  return Json::parse(ModelToJson(DecodePartsFile(Compiled(kSource))));
}

TEST(PartsJson, RefusalsNameThePointerAndTheRule) {
  struct Case {
    const char* pointer;
    Json value;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"/sizes/0/members/0/number", 300, "/sizes/0/members/0/number: 300 is above 256"},
      {"/sizes/0/members/0/number", 0, "/sizes/0/members/0/number: 0 is below 1"},
      {"/sizes/0/members/0/record", 257, "/sizes/0/members/0/record: 257 is above 256"},
      {"/sizes/0/members/1/name", "DIAMETER", "/sizes/0/members/1/name: 8 bytes is above 6"},
      {"/sizes/0/members/1/pair_code", -1, "/sizes/0/members/1/pair_code: -1 is below 0"},
      {"/sizes/0/members/1/pair_code", 1.5, "/sizes/0/members/1/pair_code: 1.5 is not an integer"},
      {"/sizes/0/members/1/kind", "size",
       "/sizes/0/members/1/kind: \"size\" is neither \"spec\" nor \"param\""},
      {"/sizes/0/name", std::string(33, 'M'), "/sizes/0/name: 33 bytes is above 32"},
      {"/sizes/0/title",
       {{"latin1", "\xC4\x80"}},
       "/sizes/0/title/latin1: a character above U+00FF is not a Latin-1 byte"},
      {"/sizes/0/title", {{"bytes", "00"}}, "/sizes/0/title/bytes: unknown field"},
      {"/header/version", 40000, "/header/version: 40000 is above 32767"},
      {"/header/title", 7, "/header/title: 7 is not a string"},
      {"/header/colour", "red", "/header/colour: unknown field"},
      {"/views", Json::array(), "/views: 0 views, not 6"},
      {"/views/1/view", "$TOP", "/views/1/view: the view here is \"$BOTTOM\""},
      {"/sizes", "M6", "/sizes: not an array"},
      {"", Json::array(), "/: not an object"},
      {"/read/whole", "no", "/read/whole: \"no\" is not true or false"},
  };
  for (const Case& c : cases) {
    Json document = Document();
    document[Json::json_pointer(c.pointer)] = c.value;
    PartsModel model;
    EXPECT_EQ(Refusal(document, model), c.error) << c.pointer;
  }
  // A value at its bound is taken.
  for (const auto& [pointer, value] :
       std::vector<std::pair<const char*, Json>>{{"/sizes/0/members/0/number", 256},
                                                 {"/sizes/0/members/0/record", 256},
                                                 {"/sizes/0/members/1/pair_code", 255},
                                                 {"/sizes/0/members/1/name", "DIAMET"}}) {
    Json bound = Document();
    bound[Json::json_pointer(pointer)] = value;
    PartsModel model;
    EXPECT_EQ(Refusal(bound, model), "");
  }
  Json document = Document();
  document["header"].erase("title");
  PartsModel model;
  EXPECT_EQ(Refusal(document, model), "/header/title: missing");
  // The first rule broken is the one named.
  document["header"]["sort_mode"] = 40000;
  EXPECT_EQ(Refusal(document, model), "/header/title: missing");
}

// Offsets left out, or left behind by an edit, are laid end to end again.
TEST(PartsJson, StaleOrMissingOffsetsArePlaced) {
  const std::string bytes = Compiled(kSource);
  Json document = Json::parse(ModelToJson(DecodePartsFile(bytes)));
  for (Json& size : document["sizes"]) {
    size.erase("member_offset");
  }
  document["header"].erase("common_offset");
  document.erase("unlisted");  // no list that no size points to
  PartsModel model;
  ASSERT_EQ(Refusal(document, model), "");
  EncodedModel back = EncodeModel(model);
  ASSERT_FALSE(back.problem);
  EXPECT_EQ(back.bytes, bytes);

  document["common"]["members"].push_back(document["sizes"][0]["members"][0]);
  ASSERT_EQ(Refusal(document, model), "");
  back = EncodeModel(model);
  ASSERT_FALSE(back.problem);
  const PartsModel read = DecodePartsFile(back.bytes);
  EXPECT_TRUE(read.read.Whole());
  EXPECT_EQ(read.common->specs.size(), 2u);
}

// The round trip over every file the compiler writes: the example library and
// generated libraries of several shapes.
TEST(PartsJson, CompiledFilesComeBackByteForByte) {
  int files = 0;
  const fs::path examples = fs::path(PARTSC_SOURCE_DIR) / "examples/src";
  for (const auto& entry : fs::directory_iterator(examples)) {
    const CompileResult result = CompileFile(entry.path().string());
    if (!result.bytes.empty()) {
      EXPECT_EQ(RoundTrip(result.bytes), result.bytes) << entry.path();
      ++files;
    }
  }
  const std::vector<bench::LibraryShape> shapes = {
      {1, 1, 1, 0, 0}, {3, 7, 9, 4, 2}, {2, 40, 17, 12, 5}, {1, 300, 3, 2, 0}};
  for (const bench::LibraryShape& shape : shapes) {
    for (int i = 0; i < shape.sources; ++i) {
      const std::string bytes = Compiled(bench::SourceText(shape, i));
      EXPECT_EQ(RoundTrip(bytes), bytes) << "shape with " << shape.sizesPerSource << " sizes";
      ++files;
    }
  }
  EXPECT_GE(files, 10);
}

}  // namespace
}  // namespace partsc
