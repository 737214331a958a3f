// Outputs that cannot be written are named on standard error with the
// system's reason, and --strict then ends with 1: the run log, the error log
// and a parts file, each on a disk that is full for it (a file-size limit in
// the child process of the real binary).
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kSmall = "$$PARTS !x!\n$$APG\n$TOP !T!\n$$END\n";

struct Case {
  const char* label;
  uint64_t limit;
  std::string source;
  int inputs;             // how often the control file names the source
  size_t errorLogBefore;  // bytes already in the error log
  std::string out;        // the console, -q, the run's directory as $DIR
  std::string err;        // how standard error begins
  std::string summary;    // the first line of the run's summary
  const char* format = "classic";
};

TEST(WriteFailure, EachOutputThatCannotBeWrittenIsNamedWithTheReason) {
  const std::string tooLarge = ": cannot be written: File too large\n";
  const Case cases[] = {
      {"run log", 1024, kSmall, 6, 0, "", "partsc: TALVIREN.LOG" + tooLarge,
       "summary: 6 sources compiled, 0 failed, 1 output not written"},
      {"error log", 1024, kSmall, 1, 1024, "", "partsc: RUN.CTL.LOG" + tooLarge,
       "summary: 1 source compiled, 0 failed, 1 output not written"},
      {"parts file", 300, ReadFile(std::string(PARTSC_SOURCE_DIR) + "/examples/src/bolts.src"), 1,
       0, "\n  Input file name\t\t$DIR/x.src\n\t*** E *** APG List Write Error\n",
       "partsc: $DIR/x.prt" + tooLarge, "summary: 0 sources compiled, 1 failed"},
      {"parts file, GNU lines", 300,
       ReadFile(std::string(PARTSC_SOURCE_DIR) + "/examples/src/bolts.src"), 1, 0, "",
       "x.src: error: APG List Write Error: x.prt: File too large [partsc-apg-list-write-error]\n",
       "summary: 0 sources compiled, 1 failed", "gnu"},
  };
  for (const Case& c : cases) {
    for (const bool strict : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (strict ? ", --strict" : ""));
      TempDir dir;
      std::string control;
      for (int i = 0; i < c.inputs; ++i) {
        control += "x.src\n";
      }
      WriteFile(dir.File("RUN.CTL"), control);
      WriteFile(dir.File("x.src"), ReplaceAll(c.source, "!bolt!", "!x!"));
      WriteFile(dir.File("RUN.CTL.LOG"), std::string(c.errorLogBefore, '.'));
      ProcessOptions options{
          {"-q", "-c", "RUN.CTL", std::string("--diagnostics-format=") + c.format},
          dir.path(),
          "",
          {},
          {},
          c.limit};
      if (strict) {
        options.args.push_back("--strict");
      }
      const ProcessResult run = RunProcess(PARTSC_BINARY, options);
      EXPECT_EQ(ReplaceAll(run.out, dir.path(), "$DIR"), c.out);
      // The summary follows; the file-size limit may cut standard error too.
      const std::string err =
          ReplaceAll(run.err, dir.path(), "$DIR");
      EXPECT_EQ(err.substr(0, c.err.size()), c.err);
      EXPECT_NE(err.find("partsc: " + c.summary + "\n"), std::string::npos) << err;
      EXPECT_EQ(run.exitCode, strict ? 1 : 0);
    }
  }
}

// With --atomic a disk full for the new parts file leaves the older one and
// its backup as they were, and no temporary file.
TEST(WriteFailure, WithAtomicAFullDiskKeepsTheOlderFileAndItsBackup) {
  TempDir dir;
  WriteFile(dir.File("RUN.CTL"), "bolts.src\n");
  WriteFile(dir.File("bolts.src"),
            ReadFile(std::string(PARTSC_SOURCE_DIR) + "/examples/src/bolts.src"));
  WriteFile(dir.File("bolt.prt"), "older\n");
  WriteFile(dir.File("bolt.prt.old"), "older backup\n");
  const ProcessResult run =
      RunProcess(PARTSC_BINARY, {{"-q", "--atomic", "-c", "RUN.CTL"}, dir.path(), "", {}, {}, 900});
  EXPECT_EQ(ReplaceAll(run.err, dir.path(), "$DIR"),
            "partsc: $DIR/bolt.prt: cannot be written: File too large\n"
            "partsc: $DIR/bolt.prt: not replaced: bolts.src: Data Write Error: File too "
            "large; the previous file and its backup are kept\n"
            "partsc: summary: 0 sources compiled, 1 failed\n"
            "partsc: failed: bolts.src: Data Write Error: File too large\n"
            "partsc:   left: bolt.prt was not replaced: the previous file and its backup are as "
            "they were\n");
  EXPECT_EQ(ReadFile(dir.File("bolt.prt")), "older\n");
  EXPECT_EQ(ReadFile(dir.File("bolt.prt.old")), "older backup\n");
  // The control file, the source, the two parts files and both logs.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 6);
}

}  // namespace
}  // namespace partsc::testing
