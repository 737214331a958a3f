// Parts sources written back from parts files: the exact source, texts that
// need another form to read back, every refusal with its reason, and the
// reasons of files that do not read back at all.
#include "decompiler/decompile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_state.h"
#include "platform/ov_faults.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"
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

  void TearDown() override {
    unsetenv("TMPDIR");
    OvFile::ResetClassDirectories();
    OvSession::GetInstance().Reset();
  }

  // Compiles `source` in directory `sub` (the parts directory too); answers
  // the parts file's path.
  std::string Compile(const std::string& source, const std::string& sub = "src") {
    const std::string where = dir_.File(sub);
    fs::create_directories(where);
    WriteFile(where + "/in.src", source);
    OvFile::SetClassDirectory(kClassParts, where);
    std::string output;
    int code = -1;
    {
      CaptureFd console(1);
      code = CompilePartsSource(where + "/in.src", output);
    }
    OvFile::ResetClassDirectories();
    EXPECT_EQ(code, 0) << source;
    return output;
  }

  // Decompiles `path`; nothing may reach the console, and no temporary
  // directory may stay behind.
  int Decompile(const std::string& path, std::string& source, std::string& reason) {
    int result = -1;
    std::string out;
    std::string err;
    {
      CaptureFd outCapture(1);
      CaptureFd errCapture(2);
      result = DecompilePartsFile(path, source, reason);
      out = outCapture.Text();
      err = errCapture.Text();
    }
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_TRUE(fs::is_empty(dir_.File("tmp")));
    EXPECT_EQ(OvFile::ClassDirectory(kClassParts), "");
    EXPECT_FALSE(OvSession::GetInstance().Quiet());
    return result;
  }

  // Decompiles `path`, compiles the source again on its own and compares
  // the two files but for the creation date; answers the source.
  std::string RoundTrip(const std::string& path) {
    std::string source;
    std::string reason;
    EXPECT_EQ(Decompile(path, source, reason), kDecompileOk) << reason;
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
      {"a text too long for its line",
       "t !M! (twenty characters...)\n$$PARTS !x!\n" + views + "$$SIZE \"A\"\np !PPPPPP! <0,1> \"" +
           c50 + "\" ({M})\n",
       {"t !A! (twenty characters...)", "p !PPPPPP! <0,1> \"" + c50 + "\" ({A})"}},
      {"a record equal to the default record",
       "$$PARTS !x!\n$$SPEC <1,5>\n" + views +
           "$$SIZE \"A\"\ns [261] <1,1>\"X\"\ns [5] <1,1>\"Y\"\n",
       {"s [261] <1,1> \"X\"", "s <1,1> \"Y\""}},
      {"records of 256",
       "$$PARTS !x!\n$$SPEC <1,256>\n" + views +
           "$$COMMON\ns [256] <1,1>\"C\"\n$$SIZE \"BB\"\n$$SIZE \"A\"\ns [512] <256,0>\"S\"\n",
       {"s [256] <1,1> \"C\"", "s [512] <256,0> \"S\""}},
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

// More than 2048 sizes: the lists past the counted sizes come back under
// fresh names, and a late list that re-ties a counted size under that
// size's name.
TEST_F(DecompileTest, MemberListsBeyondTheCountedSizes) {
  std::string source = "$$PARTS !big!\n$$APG\n$TOP !T!\n$$NSORT\n";
  // A counted size takes the first fresh name.
  source += "$$SIZE \"unlisted-1\"\np !A! (0)\n";
  for (int i = 1; i < 2048; ++i) {
    source += "$$SIZE \"S" + std::to_string(i) + "\"\np !A! (" + std::to_string(i) + ")\n";
  }
  source += "$$SIZE \"S5\"\np !B! (late)\n$$SIZE \"EXTRA\"\np !C! (x)\n$$END\n";
  const std::string recovered = RoundTrip(Compile(source));
  EXPECT_NE(recovered.find("\n$$SIZE \"S5\"\np !A! (5)\n"), std::string::npos);
  EXPECT_NE(recovered.find("\n$$SIZE \"S5\"\np !B! (late)\n$$SIZE \"unlisted-2\"\np !C! (x)\n"),
            std::string::npos);
}

// The base of the damaged files: no common block, one APG comment, sizes A
// and B in source order, each with a spec AB and a param P of text x.
constexpr const char* kTwoSizes =
    "$$PARTS !D!\n$$APG\n$TOP !T!\n$FRONT !F! \"front\"\n$$NSORT\n"
    "$$SIZE \"A\"\ns <1,1>\"AB\"\np !P! (x)\n"
    "$$SIZE \"B\"\ns <1,1>\"AB\"\np !P! (x)\n$$END\n";
constexpr size_t kFrontName = 256 + 2 * 34;
constexpr size_t kRecordA = 664;
constexpr size_t kRecordB = 736;
constexpr size_t kListA = 808;  // spec head, "AB", param head at 822, "x" at 834
constexpr size_t kListB = 847;
constexpr size_t kTwoSizesLength = 886;

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) {
    bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

using Damage = std::function<void(std::vector<uint8_t>&)>;

TEST_F(DecompileTest, RefusesWhatNoSourceGivesBack) {
  const std::vector<uint8_t> good = ReadBytes(Compile(kTwoSizes));
  ASSERT_EQ(good.size(), kTwoSizesLength);
  const std::vector<uint8_t> bare =
      ReadBytes(Compile("$$PARTS !E!\n$$APG\n$TOP !T!\n$$END\n", "bare"));
  struct Case {
    const char* name;  // of the damaged file
    const std::vector<uint8_t>* base;
    Damage damage;
    std::string reason;
  };
  const Case cases[] = {
      {"sort.prt", &good, [](auto& b) { b[160] = 7; }, "its sort mode 7 has no keyword"},
      {"count.prt", &good, [](auto& b) { b[158] = 2; },
       "its header counts 2 APG comments, but the file holds 1"},
      {"nameless.prt", &good, [](auto& b) { b[kFrontName] = 0; },
       "the view $FRONT has an APG comment but no APG name"},
      {"twice.prt", &good, [](auto& b) { b[kFrontName + 2] = 'T'; },
       "the views $TOP and $FRONT share the APG name \"T\""},
      {"quote.prt", &good, [](auto& b) { b[kListA + 13] = '"'; },
       "the spec name \"A\"\" in size \"A\" holds a double quote"},
      {"flag.prt", &good, [](auto& b) { b[kListA + 3] = 2; },
       "the spec \"AB\" in size \"A\" has the flag byte 2"},
      {"pair.prt", &good, [](auto& b) { b[kListA + 14 + 3] = 5; },
       "the param \"P\" in size \"A\" has the pair code 5"},
      {"paren.prt", &good, [](auto& b) { b[kListA + 26] = ')'; },
       "the text \")\" of param \"P\" in size \"A\" holds a \")\" that closes no \"(\""},
      {"blank.prt", &good,
       [](auto& b) {
         b[kListA + 14 + 1] = 2;
         b[kListA + 14 + 7] = ' ';
       },
       "the param name \"P \" in size \"A\" begins or ends with a blank or tab"},
      {"titled.prt", &bare,
       [](auto& b) {
         b[92] = 'X';
         b[156] = 1;
       },
       "its title \"X\" needs sizes or a common block"},
      {"trailing.prt", &good, [](auto& b) { b.resize(b.size() + 12, 0); },
       "the bytes at offset 886 belong to no size's member list"},
      {"uncounted.prt", &good, [](auto& b) { b[86] = 0; },
       "the bytes at offset 664 belong to no size's member list"},
      {"shared.prt", &good, [](auto& b) { PutU32(b, kRecordB + 68, kListA); },
       "the member list of size \"B\" overlaps another list or lies outside the member-list "
       "area"},
      {"common.prt", &good, [](auto& b) { PutU32(b, 88, kListB); },
       "the common member list does not start the member-list area"},
      {"order.prt", &good,
       [](auto& b) {
         std::swap_ranges(b.begin() + kRecordA, b.begin() + kRecordB, b.begin() + kRecordB);
       },
       "its size records are not in the order of their member lists ($$NSORT)"},
      {"names.prt", &good, [](auto& b) { b[kRecordB + 4] = 'A'; }, "two sizes are named \"A\""},
      {"negative.prt", &good,
       [](auto& b) {
         b[86] = 0xff;
         b[87] = 0xff;
       },
       "its size count is negative (-1)"},
      {"reserved.prt", &good, [](auto& b) { b[200] = 1; },
       "the source would not reproduce the file (byte 200 differs, in the header's reserved "
       "bytes)"},
      {"junk.prt", &good, [](auto& b) { b[20] = 'x'; },
       "the source would not reproduce the file (byte 20 differs, in the header's comment)"},
      {"apg.prt", &good, [](auto& b) { b[256 + 20] = 'x'; },
       "the source would not reproduce the file (byte 276 differs, in the APG name block)"},
      {"record.prt", &good, [](auto& b) { b[kRecordB + 60] = 'x'; },
       "the source would not reproduce the file (byte 796 differs, in size record 2)"},
      {"kind.prt", &good, [](auto& b) { b[kListB + 38] = 1; },
       "the source would not reproduce the file (byte 885 differs, in the member lists)"},
      {"a!b.prt", &good, nullptr,
       "the parts name (the file's base name) \"a!b\" holds an exclamation mark"},
      {".prt", &good, nullptr, "the file name gives no parts name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = *c.base;
    if (c.damage) {
      c.damage(bytes);
    }
    WriteBytes(dir_.File(c.name), bytes);
    std::string source = "stale";
    std::string reason;
    EXPECT_EQ(Decompile(dir_.File(c.name), source, reason), kDecompileNotRecoverable);
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(source, "");
  }
}

// A file the listing cannot read is not decompiled; the reason names the
// listing's failing step and the reader's result (both pinned for damaged
// files by the damaged-file table).
TEST_F(DecompileTest, UnreadableFilesGiveTheListingsReason) {
  const std::vector<uint8_t> good = ReadBytes(Compile(kTwoSizes));
  const std::pair<const char*, Damage> damages[] = {
      {"old.prt", [](auto& b) { b[0] = 101; }},
      {"view.prt", [](auto& b) { b[256] = 40; }},
      {"common.prt", [](auto& b) { PutU32(b, 88, 5000); }},
  };
  for (const auto& [name, damage] : damages) {
    std::vector<uint8_t> bytes = good;
    damage(bytes);
    WriteBytes(dir_.File(name), bytes);
  }
  for (const auto& [name, reason] : {std::pair{"none.prt", "no such file"},
                                     std::pair{"old.prt", "not a parts file (version is not 102)"},
                                     std::pair{"view.prt", "damaged view list"},
                                     std::pair{"common.prt", "truncated common member list"}}) {
    std::string source = "stale";
    std::string why;
    EXPECT_EQ(Decompile(dir_.File(name), source, why), kDecompileUnreadable);
    EXPECT_EQ(why, reason);
    EXPECT_EQ(source, "");
  }
  const struct {
    int listCode;
    int readResult;
    std::string reason;
  } cases[] = {
      {1, 10, "no such file"},
      {1, 11, "cannot be opened"},
      {2, 13, "not a parts file (version is not 102)"},
      {2, 23, "damaged header"},
      {2, 21, "truncated header"},
      {3, 0, "the file name has no full stop"},
      {4, 14, "no view defined"},
      {4, 23, "damaged view list"},
      {4, 21, "truncated view list"},
      {5, 23, "damaged size list"},
      {5, 109, "out of memory"},
      {6, 21, "truncated common member list"},
      {6, 23, "damaged common member list"},
      {7, 50, "size member list not found (a size record out of order or without a list)"},
      {7, 21, "truncated size member list"},
      {7, 200, "too many members in the size member list"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnreadableReason(c.listCode, c.readResult), c.reason)
        << c.listCode << " " << c.readResult;
  }
}

// A refused allocation, a short read or a short write anywhere in the work
// (the reading, the check's compile) never gives a source other than the one
// an undisturbed run gives: either that source or none, with a reason.
TEST_F(DecompileTest, FaultsNeverGiveAnotherSource) {
  const std::string path = Compile(kTwoSizes);
  std::string expected;
  std::string reason;
  OvFaults::Reset();
  ASSERT_EQ(Decompile(path, expected, reason), kDecompileOk) << reason;
  for (const OvFaultKind kind :
       {OvFaultKind::kAllocation, OvFaultKind::kRead, OvFaultKind::kWrite}) {
    OvFaults::Reset();
    std::string source;
    ASSERT_EQ(Decompile(path, source, reason), kDecompileOk);
    const int64_t operations = OvFaults::Count(kind);
    ASSERT_GT(operations, 0);
    for (int64_t n = 1; n <= operations; ++n) {
      SCOPED_TRACE(::testing::Message()
                   << "operation " << n << " of kind " << static_cast<int>(kind));
      OvFaults::Arm(kind, n, false);
      const int result = Decompile(path, source, reason);
      OvFaults::Reset();
      EXPECT_TRUE(result == kDecompileOk ? source == expected : source.empty() && !reason.empty());
    }
  }
}

}  // namespace
}  // namespace partsc::testing
