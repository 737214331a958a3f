// Parts sources written back from parts files: the exact source, and texts
// that need another form to read back. Refusals and their reasons are in
// tests/faults/damage_patches.txt.
#include "decompiler/decompile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "decompiler/source_line.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "support/compile_support.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

class DecompileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    fs::create_directory(dir_.File("tmp"));
    setenv("TMPDIR", dir_.File("tmp").c_str(), 1);
    chdir_ = std::make_unique<ScopedChdir>(dir_.path());
  }

  void TearDown() override { unsetenv("TMPDIR"); }

  // Compiles `source` in directory `sub` (the parts directory too); answers
  // the parts file's path.
  std::string Compile(const std::string& source, const std::string& sub = "src") {
    const std::string where = dir_.File(sub);
    fs::create_directories(where);
    WriteFile(where + "/in.src", source);
    std::string output;
    Compiler compiler(where);
    EXPECT_EQ(compiler.Compile(where + "/in.src", output), CompileStatus::kOk) << source;
    return output;
  }

  // Decompiles `path`; nothing may reach the console, and no temporary
  // directory may stay behind.
  Decompiled Decompile(const std::string& path) {
    Decompiled result;
    std::string out;
    std::string err;
    {
      CaptureFd outCapture(1);
      CaptureFd errCapture(2);
      result = DecompilePartsFile(path);
      out = outCapture.Text();
      err = errCapture.Text();
    }
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(fs::is_empty(dir_.File("tmp")));
    return result;
  }

  // Decompiles `path`, compiles the source again on its own and compares
  // the two files but for the creation date; answers the source.
  std::string RoundTrip(const std::string& path) {
    const Decompiled result = Decompile(path);
    EXPECT_TRUE(result.Ok()) << result.reason;
    const std::string& source = result.source;
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line)) {
      EXPECT_LE(line.size(), 79u) << line;
    }
    const std::string again = Compile(source, "again");
    EXPECT_EQ(fs::path(again).stem(), fs::path(path).stem());
    std::vector<uint8_t> original = ReadBytes(path);
    std::vector<uint8_t> compiled = ReadBytes(again);
    EXPECT_EQ(original.size(), compiled.size());
    for (size_t i = 2; i < 12 && i < original.size() && i < compiled.size(); ++i) {
      compiled[i] = original[i];
    }
    EXPECT_TRUE(original == compiled) << source;
    fs::remove_all(dir_.File("again"));
    return source;
  }

  TempDir dir_;
  std::unique_ptr<ScopedChdir> chdir_;
};

TEST_F(DecompileTest, WritesItsOwnSourceForm) {
  const std::string path = Compile(
      "t !PITCH! (1.5)\n"
      "$$PARTS !bolt! <3,5> \"Hex head bolts\"\n"
      "$$SPEC <12,2>\n"
      "$$APG\n"
      "$TOP !BOLT_T! \"seen from above\"\n"
      "$FRONT !BOLT_F!\n"
      "$$COMMON \"M-series\"\n"
      "p !FIN! (zinc plated)\n"
      "$$CSORT\n"
      "$$SIZE \"M6\" !M6 x 20!\n"
      "s [2] <5,1>\"SHANK\"\n"
      "p !P! ({PITCH})\n"
      "p !L! <1,1> (20)\n"
      "$$SIZE \"M10\"\n"
      "p !D! (10)\n"
      "$$END\n");
  // The size blocks follow their member lists (source order), not the size
  // records ($$CSORT puts M10 first).
  EXPECT_EQ(RoundTrip(path),
            "/ Recovered by partsc --decompile: compiled again, this source gives the\n"
            "/ parts file back byte for byte, but for its creation date, which was\n"
            "/ created 2023/11/14 22:13\n"
            "$$PARTS !bolt! <3,5> \"Hex head bolts\"\n"
            "$$SPEC <12,2>\n"
            "$$APG\n"
            "$TOP !BOLT_T! \"seen from above\"\n"
            "$FRONT !BOLT_F!\n"
            "$$COMMON\n"
            "p !FIN! (zinc plated)\n"
            "$$CSORT\n"
            "$$SIZE \"M6\" !M6 x 20!\n"
            "s <5,1> \"SHANK\"\n"
            "p !P! (1.5)\n"
            "p !L! <1,1> (20)\n"
            "$$SIZE \"M10\"\n"
            "p !D! (10)\n"
            "$$END\n");
}

TEST_F(DecompileTest, TextsThatCannotStandAsTheyAre) {
  const std::string views = "$$APG\n$TOP !T!\n";
  struct Case {
    const char* label;
    std::string source;
    std::vector<std::string> lines;  // lines the recovered source must hold
  };
  const std::string z59(59, 'z');
  const std::string a63(63, 'A');
  const std::string c50(50, 'c');
  const std::string c60(60, 'c');
  const Case cases[] = {
      {"a brace, from a macro",
       "t !LB! ({)\n$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !P! (a{LB}b)\n",
       {"p !P! (a{}b)"}},
      {"a closing parenthesis after a dropped macro name",
       "$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !P! (x{(}y))\n",
       {"p !P! (x{(}y))"}},
      {"a short text that ends with a blank, left by the cut before expansion",
       "$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !P! ({" + z59 + "}a  bc)\n",
       {"p !P! ({" + std::string(59, '-') + "}a  .)"}},
      {"a text one character short of full that ends with a blank",
       "t !M! (ab)\n$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !P! ({}{M}" + std::string(57, 'a') +
           "  x)\n",
       {"p !P! ({-}ab" + std::string(57, 'a') + "  .)"}},
      {"a text too long for its line",
       "t !M! (twenty characters...)\n$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !PPPPPP! <0,1> \"" +
           c50 + "\" ({M})\n",
       {"t !A! (twenty characters...)", "p !PPPPPP! <0,1> \"" + c50 + "\" ({A})"}},
      {"a record equal to the default record",
       "$$PARTS !x!\n$$SPEC <1,5>\n" + views +
           "$$SIZE \"A\"\ns [261] <1,1>\"X\"\ns [5] <1,1>\"Y\"\n",
       {"s [261] <1,1> \"X\"", "s <1,1> \"Y\""}},
      {"a record of 1 in the common block, whose default record is 0",
       "$$PARTS !x!\n$$SPEC <1,1>\n" + views + "$$COMMON\ns [1] <1,1>\"C\"\n",
       {"s [1] <1,1> \"C\""}},
      {"records of 256",
       "$$PARTS !x!\n$$SPEC <1,256>\n" + views +
           "$$COMMON\ns [256] <1,1>\"C\"\n$$SIZE \"BB\"\n$$SIZE \"A\"\ns [512] <256,0>\"S\"\n",
       {"s [256] <1,1> \"C\"", "s [512] <256,0> \"S\""}},
      {"a spec record with no spec file", "$$PARTS !x!\n$$SPEC <0,1>\n" + views, {"$$SPEC <0,1>"}},
      {"a spec name holding a bracket",
       "$$PARTS !x!\n" + views + "$$SIZE \"A\"\ns [] <1,1>\"a[2]\"\n",
       {"s [] <1,1> \"a[2]\""}},
      {"a view name and comment holding each other's delimiters",
       "$$PARTS !x!\n" + views + "$FRONT !a\"b !c\"\n",
       {"$FRONT !a\"b !c\""}},
      {"a size name and title holding each other's delimiters",
       "$$PARTS !x!\n" + views + "$$SIZE \"a!b\" !t!\n",
       {"$$SIZE \"a!b\"!"}},
      {"a full-length title that ends with a blank",
       "$$PARTS !x!\n" + views + "$$TITLE \"" + a63 + " x\"\n$$SIZE \"A\"\n",
       {"$$TITLE \"" + a63 + " .\""}},
      {"a text that opens more parentheses than it closes, left open at the end",
       "$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !P! \"c\" (a(b\n",
       {"p !P! \"c\" (a(b"}},
      {"a parts line whose second number is 0", "$$PARTS !x! <1,0>\n" + views,
       {"$$PARTS !x! <1,0>"}},
      {"a parts line that fits only compactly",
       "$$PARTS!ab!<30000>\"" + c60 + "\n" + views,
       {"$$PARTS!ab!<3e4>\"" + c60 + "\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = Compile(c.source + "$$END\n");
    const std::string source = RoundTrip(path);
    for (const std::string& line : c.lines) {
      EXPECT_NE(source.find("\n" + line + "\n"), std::string::npos) << line << "\n" << source;
    }
    fs::remove_all(dir_.File("src"));
  }
}

// A ")" closes a parenthesis field early when no "(" of the text before it
// is still open.
TEST(ClosesEarly, CountsTheParenthesesOpenBeforeEachClose) {
  const struct {
    const char* text;
    bool early;
  } cases[] = {{"", false},     {"a)", true},    {"(a)", false},
               {"(a))b", true}, {"((a)", false}, {"(a)(b))", true}};
  for (const auto& c : cases) {
    EXPECT_EQ(ClosesEarly(c.text), c.early) << c.text;
  }
}

// Each "{" is written "{}"; where a later ")" would close the field, "("
// go inside the braces, as many as the text needs at that point and no more.
TEST(EscapedText, OpensInsideTheBracesWhatALaterCloseNeeds) {
  const struct {
    const char* text;
    std::optional<std::string> written;
  } cases[] = {{"a{b", "a{}b"},     {"{)", "{(})"},        {"{))", "{((}))"},
               {"({)", "({})"},     {"{)(", "{(})("},      {"{", "{}"},
               {")", std::nullopt}, {"a){", std::nullopt}, {"{a)){b)", "{(((}a)){}b)"}};
  for (const auto& c : cases) {
    EXPECT_EQ(EscapedText(c.text), c.written) << c.text;
  }
}

// More than 2048 sizes: the lists past the counted sizes come back under
// fresh names, and a late list that re-ties a counted size (the first one
// too) under that size's name.
TEST_F(DecompileTest, MemberListsBeyondTheCountedSizes) {
  std::string source = "$$PARTS !big!\n$$APG\n$TOP !T!\n$$NSORT\n";
  // A counted size takes the first fresh name.
  source += "$$SIZE \"unlisted-1\"\np !A! (0)\n";
  for (int i = 1; i < 2048; ++i) {
    source += "$$SIZE \"S" + std::to_string(i) + "\"\np !A! (" + std::to_string(i) + ")\n";
  }
  source += "$$SIZE \"unlisted-1\"\np !B! (first)\n$$SIZE \"S5\"\np !B! (late)\n";
  source += "$$SIZE \"EXTRA\"\np !C! (x)\n$$END\n";
  const std::string recovered = RoundTrip(Compile(source));
  EXPECT_NE(recovered.find("\n$$NSORT\n$$SIZE \"unlisted-1\"\np !A! (0)\n"), std::string::npos);
  EXPECT_NE(recovered.find("\n$$SIZE \"S5\"\np !A! (5)\n"), std::string::npos);
  EXPECT_NE(recovered.find("\n$$SIZE \"unlisted-1\"\np !B! (first)\n$$SIZE \"S5\"\np !B! "
                           "(late)\n$$SIZE \"unlisted-2\"\np !C! (x)\n"),
            std::string::npos)
      << recovered.substr(recovered.size() - 200);
}

}  // namespace
}  // namespace partsc::testing
