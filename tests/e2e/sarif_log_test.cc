// The SARIF log of a real run as code scanning takes it: URIs relative to
// the base directory (never through ".."), absolute for a file outside it;
// and a log written when a bad settings file stops the run before it began.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

// A source whose line 5 holds an unknown size keyword.
std::string Source(const std::string& name) {
  return "$$PARTS !" + name + "!\n$$APG\n$TOP !T!\n$$SIZE \"t\" !S!\nq bad\n$$END\n";
}

// Each result as "URI BASE-ID LINE" ("-" without a base id).
std::vector<std::string> Places(const nlohmann::json& run) {
  std::vector<std::string> places;
  for (const nlohmann::json& result : run["results"]) {
    const nlohmann::json& place = result["locations"][0]["physicalLocation"];
    places.push_back(place["artifactLocation"]["uri"].get<std::string>() + " " +
                     place["artifactLocation"].value("uriBaseId", "-") + " " +
                     std::to_string(place["region"]["startLine"].get<int>()));
  }
  return places;
}

TEST(SarifLog, UrisAreRelativeToTheBaseAndAbsoluteOutsideIt) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    std::string base;                 // the SRCROOT URI, $DIR for the run's directory
    std::vector<std::string> places;  // as Places gives them
  };
  // The directory outside the base holds a blank and an "é": both are
  // percent-encoded, in relative and in absolute URIs.
  const std::vector<std::string> inBase = {
      "src/a.src SRCROOT 5", "file://$DIR/out%20sid%C3%A9/b.src - 5", "RUN.CTL SRCROOT 3"};
  const Case cases[] = {
      {"no base: the directory partsc was started in",
       {},
       "file://$DIR/",
       {"lib/src/a.src SRCROOT 5", "out%20sid%C3%A9/b.src SRCROOT 5", "lib/RUN.CTL SRCROOT 3"}},
      {"--sarif-base", {"--sarif-base", "lib"}, "file://$DIR/lib/", inBase},
      {"--sarif-base through ..", {"--sarif-base", "lib/src/.."}, "file://$DIR/lib/", inBase},
      {"the settings key", {"-pCI.SET"}, "file://$DIR/lib/", inBase},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    std::filesystem::create_directories(dir.File("lib/src"));
    std::filesystem::create_directories(dir.File("out sid\xC3\xA9"));
    WriteFile(dir.File("lib/RUN.CTL"), "lib/src/a.src\nout sid\xC3\xA9/b.src\nnone.src\n");
    WriteFile(dir.File("lib/src/a.src"), Source("a"));
    WriteFile(dir.File("out sid\xC3\xA9/b.src"), Source("b"));
    WriteFile(dir.File("CI.SET"), "#PARTS:SARIFBASE# = lib\n");
    std::vector<std::string> args = {"-q", "--sarif", "run.sarif", "-c", "lib/RUN.CTL"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(RunPartsc(dir.path(), args).exitCode, 0);
    const std::string text = ReplaceAll(ReadFile(dir.File("run.sarif")), dir.path(), "$DIR");
    const nlohmann::json run = nlohmann::json::parse(text)["runs"][0];
    EXPECT_EQ(run["originalUriBaseIds"]["SRCROOT"]["uri"], c.base);
    EXPECT_EQ(Places(run), c.places);
  }
}

// -Werror makes each warning an error, at the level of its result too.
TEST(SarifLog, WarningsAreErrorsWithWerror) {
  for (const bool werror : {false, true}) {
    TempDir dir;
    WriteFile(dir.File("RUN.CTL"), "a.src\n");
    WriteFile(dir.File("a.src"), Source("a"));
    std::vector<std::string> args = {"-q", "--sarif", "run.sarif", "-c", "RUN.CTL"};
    args.push_back(werror ? "-Werror" : "-Wno-error");
    EXPECT_EQ(RunPartsc(dir.path(), args).exitCode, werror ? 1 : 0);
    const nlohmann::json run = nlohmann::json::parse(ReadFile(dir.File("run.sarif")))["runs"][0];
    ASSERT_EQ(run["results"].size(), 1u);
    EXPECT_EQ(run["results"][0]["level"], werror ? "error" : "warning");
  }
}

// A settings file that stops the run still gives the log, its problem the
// tool's notification; the run ends with 255 and writes nothing else.
TEST(SarifLog, ABadSettingsFileIsAToolNotification) {
  struct Case {
    const char* settings;  // BAD.SET; null: none
    std::string problem;
  };
  const Case cases[] = {
      {nullptr, "BAD.SET: cannot read the settings file"},
      {"#PARTS:NOPE# = x\n", "BAD.SET:1: unknown key \"#PARTS:NOPE#\""},
      {"#PARTS:WARNINGS# = no-such\n", "BAD.SET:1: unknown warning \"no-such\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    TempDir dir;
    WriteFile(dir.File("RUN.CTL"), "x.src\n");
    WriteFile(dir.File("x.src"), Source("x"));
    if (c.settings != nullptr) {
      WriteFile(dir.File("BAD.SET"), c.settings);
    }
    const ProcessResult result =
        RunPartsc(dir.path(), {"-q", "-pBAD.SET", "--sarif", "run.sarif", "-c", "RUN.CTL"});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.err, "partsc: " + c.problem + "\n");
    const nlohmann::json run = nlohmann::json::parse(ReadFile(dir.File("run.sarif")))["runs"][0];
    EXPECT_EQ(run["invocations"].dump(),
              R"([{"executionSuccessful":false,"exitCode":255,"toolExecutionNotifications":)"
              R"([{"level":"error","message":{"text":)" +
                  nlohmann::json(c.problem).dump() + "}}]}]");
    EXPECT_EQ(run["results"].size(), 0u);
    EXPECT_FALSE(FileExists(dir.File("x.prt")));
    EXPECT_FALSE(FileExists(dir.File("TALVIREN.LOG")));
  }
  // --list writes no SARIF log, also when it stops before it begins.
  TempDir dir;
  WriteFile(dir.File("BAD.SET"), "#PARTS:NOPE# = x\n");
  const ProcessResult list =
      RunPartsc(dir.path(), {"-pBAD.SET", "--sarif", "run.sarif", "--list", "x.prt"});
  EXPECT_EQ(list.exitCode, 255);
  EXPECT_FALSE(FileExists(dir.File("run.sarif")));
}

}  // namespace
}  // namespace partsc::testing
