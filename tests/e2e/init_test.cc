// partsc --init: a library started in an empty folder compiles with the
// everyday mode of its settings file, and a typo then costs nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kGood =
    "$$PARTS !pin! <1,0> \"Pins\"\n$$APG\n$TOP !PIN_T!\n$$SIZE \"P4\" !4 mm!\n"
    "p !D! (4) <0,1> \"diameter\"\n$$END\n";

// Started in an empty folder, the library compiles a source added to it
// without a word; then a typo (a spec line without its ">") in that source, compiled twice,
// leaves the good parts file and its backup in place, and each run ends
// with 1 and a summary on standard error that names the line.
TEST(InitLibrary, AStartedLibraryKeepsItsGoodFilesThroughATypo) {
  TempDir dir;
  const ProcessResult init = RunPartsc(dir.path(), {"--init"});
  ASSERT_EQ(init.exitCode, 0) << init.err;
  EXPECT_EQ(
      init.out,
      "made src/\nmade parts/\nwrote ORVA.SET: the settings, with the everyday mode "
      "--atomic --strict -Wall -Werror -q and GNU diagnostics\nwrote LIBRARY.CTL: the control "
      "file, naming the 0 sources of src/\nNext: put the parts sources into src/, name "
      "each in LIBRARY.CTL, and run\n  partsc -pORVA.SET -c LIBRARY.CTL\n");
  WriteFile(dir.File("src/pin.src"), kGood);
  // A second --init names the new source in no file: it overwrites nothing,
  // and with -q says nothing.
  const std::string control = ReadFile(dir.File("LIBRARY.CTL"));
  const ProcessResult again = RunPartsc(dir.path(), {"-q", "--init"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out + again.err, "");
  EXPECT_EQ(ReadFile(dir.File("LIBRARY.CTL")), control);
  WriteFile(dir.File("LIBRARY.CTL"), control + "pin.src\n");

  // The everyday mode is quiet: a clean run says nothing at all.
  const std::vector<std::string> run = {"-pORVA.SET", "-c", "LIBRARY.CTL"};
  const ProcessResult good = RunPartsc(dir.path(), run);
  ASSERT_EQ(good.exitCode, 0) << good.err;
  EXPECT_EQ(good.out + good.err, "");
  RunPartsc(dir.path(), run);  // a backup of the good file too
  const std::string file = ReadFile(dir.File("parts/pin.prt"));
  const std::string backup = ReadFile(dir.File("parts/pin.prt.old"));

  const std::string source = kGood;
  WriteFile(dir.File("src/pin.src"),
            source.substr(0, source.size() - 6) + "s <1,1 \"MAT\"\n$$END\n");
  for (int i = 0; i < 2; ++i) {
    const ProcessResult typo = RunPartsc(dir.path(), run);
    EXPECT_EQ(typo.exitCode, 1);
    EXPECT_EQ(typo.out, "");
    const std::string tail =
        "partsc: summary: 0 sources compiled, 1 failed\n"
        "partsc: failed: src/pin.src, line 6: Illegal spec defination: the pair has no number "
        "where one is needed\n"
        "partsc:   left: parts/pin.prt was not replaced: the previous file and its backup are as "
        "they were\n";
    EXPECT_TRUE(typo.err.ends_with(tail)) << typo.err;
    EXPECT_NE(typo.err.find("src/pin.src:6:3: error: Illegal spec defination"), std::string::npos)
        << typo.err;
    EXPECT_EQ(ReadFile(dir.File("parts/pin.prt")), file);
    EXPECT_EQ(ReadFile(dir.File("parts/pin.prt.old")), backup);
  }
}

// --init DIR makes DIR and names the sources already in its src/ that a
// control-file line can hold; what cannot be made is named with the reason.
TEST(InitLibrary, NamesTheSourcesAlreadyThereAndSaysWhatFails) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("lib/src"));
  // A line holds 79 characters: a name of 80 is left out.
  const std::string longest = std::string(75, 'n') + ".src";
  const std::string tooLong = std::string(76, 'n') + ".src";
  for (const std::string& name :
       std::vector<std::string>{"b.src", "A.SRC", "notes.txt", "cr\r.src", longest, tooLong}) {
    WriteFile(dir.File("lib/src/" + name), "");
  }
  const ProcessResult init = RunPartsc(dir.path(), {"--init", "lib"});
  EXPECT_EQ(init.exitCode, 0);
  EXPECT_NE(init.err.find("partsc: lib/src/cr\\x0d.src: left out: a control-file line cannot "
                          "name it\n"),
            std::string::npos);
  EXPECT_NE(init.err.find("partsc: lib/src/" + tooLong + ": left out"), std::string::npos);
  EXPECT_EQ(std::ranges::count(init.err, '\n'), 2) << init.err;
  EXPECT_TRUE(init.out.ends_with("  partsc -C lib -pORVA.SET -c LIBRARY.CTL\n")) << init.out;
  EXPECT_TRUE(
      ReadFile(dir.File("lib/LIBRARY.CTL")).ends_with("skipped.\nA.SRC\nb.src\n" + longest + "\n"));

  WriteFile(dir.File("flat"), "");
  const ProcessResult refused = RunPartsc(dir.path(), {"--init", "flat"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, "partsc: flat: cannot be made: Not a directory\n");
}

}  // namespace
}  // namespace partsc::testing
