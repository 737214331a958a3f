// Exit statuses a pipeline can trust: -Werror fails what --strict fails, a
// run that compiled nothing or lost an output fails under --strict, and
// every action fails when standard output cannot be written.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kGood = "$$PARTS !x!\n$$APG\n$TOP !T!\n$$END\n";

struct Case {
  const char* label;
  std::string control;  // RUN.CTL; x.src is kGood
  bool logIsDirectory;  // RUN.CTL.LOG cannot be opened
  bool stdoutFull;      // standard output is a full device
  std::vector<std::string> args;
  int exitCode;
  std::string err;  // standard error
};

ProcessResult RunCase(const TempDir& dir, const Case& c) {
  ProcessOptions options;
  options.cwd = dir.path();
  options.env.emplace_back("SOURCE_DATE_EPOCH", "1700000000");
  const std::string run = "exec \"$0\" \"$@\"";
  options.args = {"-c", c.stdoutFull ? run + " >" + FullDevice() : run, PARTSC_BINARY};
  options.args.insert(options.args.end(), c.args.begin(), c.args.end());
  return RunProcess("/bin/sh", options);
}

TEST(ExitStatus, FailsWhatAPipelineMustNotTakeForSuccess) {
  const std::string noStdout =
      "partsc: standard output: cannot be written: No space left on device\n";
  const std::string noLog = "partsc: RUN.CTL.LOG: cannot be opened: Is a directory\n";
  // The summary the run ends with.
  const std::string missing =
      "partsc: summary: 0 sources compiled, 1 failed\n"
      "partsc: failed: RUN.CTL, line 1: Input File Open Error: none.src: No such file or "
      "directory\npartsc:   left: no parts file was written\n";
  const auto lost = [](const std::string& what) {
    return "partsc: summary: 1 source compiled, 0 failed, 1 output not written\n"
           "partsc: not written: " +
           what + "\n";
  };
  const std::string noLogAtAll = noLog + lost("RUN.CTL.LOG: Is a directory");
  const std::string noStdoutAtAll = noStdout + lost("standard output: No space left on device");
  const std::vector<std::string> compile = {"-q", "-c", "RUN.CTL"};
  const auto with = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = compile;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  const Case cases[] = {
      {"missing source", "none.src\n", false, false, compile, 0, missing},
      {"missing source, -Werror", "none.src\n", false, false, with({"-Werror"}), 1, missing},
      {"empty control file", "", false, false, compile, 0, ""},
      {"empty control file, --strict", "/ nothing\n\n", false, false, with({"--strict"}), 1, ""},
      {"empty control file, -Werror", "", false, false, with({"-Werror"}), 1, ""},
      {"error log not opened", "x.src\n", true, false, compile, 0, noLogAtAll},
      {"error log not opened, --strict", "x.src\n", true, false, with({"--strict"}), 1, noLogAtAll},
      {"error log not opened, -Werror", "x.src\n", true, false, with({"-Werror"}), 1, noLogAtAll},
      {"standard output full", "x.src\n", false, true, {"-c", "RUN.CTL"}, 0, noStdoutAtAll},
      {"standard output full, --strict",
       "x.src\n",
       false,
       true,
       {"--strict", "-c", "RUN.CTL"},
       1,
       noStdoutAtAll},
      {"standard output full, quiet, --strict", "x.src\n", false, true, with({"--strict"}), 0, ""},
      {"a good run, --strict -Wall -Werror", "x.src\n", false, false,
       with({"--strict", "-Wall", "-Werror"}), 0, ""},
      {"--list", "x.src\n", false, true, {"--list", "x.prt"}, 1, noStdout},
      {"--decompile", "x.src\n", false, true, {"--decompile", "x.prt"}, 1, noStdout},
      {"--explain", "", false, true, {"--explain", "all"}, 1, noStdout},
      {"--version", "", false, true, {"--version"}, 1, noStdout},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    WriteFile(dir.File("RUN.CTL"), c.control);
    WriteFile(dir.File("x.src"), kGood);
    if (c.logIsDirectory) {
      std::filesystem::create_directory(dir.File("RUN.CTL.LOG"));
    }
    if (c.args.front() == "--list" || c.args.front() == "--decompile") {
      ASSERT_EQ(RunPartsc(dir.path(), compile).exitCode, 0);
    }
    const ProcessResult run = RunCase(dir, c);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err, c.err);
  }
}

// -Wall names a control file that names no source.
// The SARIF log's one invocation says how the run ended, also when it
// stopped early, and names each output it could not write.
TEST(ExitStatus, TheSarifLogSaysHowTheRunEnded) {
  struct Invocation {
    std::vector<std::string> args;
    bool logIsDirectory;
    std::string invocation;
  };
  const Invocation cases[] = {
      {{"-c", "RUN.CTL"},
       false,
       R"({"executionSuccessful":true,"exitCode":0,"toolExecutionNotifications":[]})"},
      {{"-c", "RUN.CTL", "--strict"},
       true,
       R"({"executionSuccessful":true,"exitCode":1,"toolExecutionNotifications":)"
       R"([{"level":"error","message":{"text":"not written: RUN.CTL.LOG: Is a directory"}}]})"},
      {{"-c", "NONE.CTL"},
       false,
       R"({"executionSuccessful":false,"exitCode":255,"toolExecutionNotifications":)"
       R"([{"associatedRule":{"id":"partsc-control-open-error","index":33},"level":"error",)"
       R"("message":{"text":"Input Control File Open Error: No such file or directory"}}]})"},
  };
  for (const Invocation& c : cases) {
    SCOPED_TRACE(c.args[1]);
    TempDir dir;
    WriteFile(dir.File("RUN.CTL"), "x.src\n");
    WriteFile(dir.File("x.src"), kGood);
    if (c.logIsDirectory) {
      std::filesystem::create_directory(dir.File("RUN.CTL.LOG"));
    }
    std::vector<std::string> args = {"-q", "--sarif", "run.sarif"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunPartsc(dir.path(), args);
    const nlohmann::json log = nlohmann::json::parse(ReadFile(dir.File("run.sarif")));
    EXPECT_EQ(log["runs"][0]["invocations"].size(), 1u);
    EXPECT_EQ(log["runs"][0]["invocations"][0].dump(), c.invocation);
  }
}

TEST(ExitStatus, AnEmptyControlFileIsAWarningUnderWall) {
  TempDir dir;
  WriteFile(dir.File("RUN.CTL"), "/ only a comment\n");
  const ProcessResult run =
      RunPartsc(dir.path(), {"-q", "-Wall", "--diagnostics-format=gnu", "-c", "RUN.CTL"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err,
            "RUN.CTL: warning: Control file names no source file [partsc-empty-control]\n");
}

}  // namespace
}  // namespace partsc::testing
