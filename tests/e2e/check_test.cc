// --check: the diagnostics of a run, in every format, and not one file
// written or touched.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

// Every file and directory under `root` with its kind, mode, size, times and
// bytes.
std::map<std::string, std::string> Tree(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    EXPECT_EQ(::lstat(entry.path().c_str(), &st), 0);
    std::string state =
        std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
        std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + " " +
        std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
    if (entry.is_regular_file()) {
      state += "\n" + ReadFile(entry.path().string());
    }
    tree[fs::relative(entry.path(), root).string()] = state;
  }
  return tree;
}

// The example library, built once, so that its parts files and their
// backups are there.
void MakeLibrary(const TempDir& dir) {
  const std::string examples = std::string(PARTSC_SOURCE_DIR) + "/examples";
  fs::copy(examples, dir.path(), fs::copy_options::recursive);
  fs::create_directory(dir.File("parts"));
  ASSERT_EQ(RunPartsc(dir.path(), {"-q", "-pORVA.SET", "-c", "LIBRARY.CTL"}).exitCode, 0);
  ASSERT_EQ(RunPartsc(dir.path(), {"-q", "-pORVA.SET", "-c", "LIBRARY.CTL"}).exitCode, 0);
}

// A run's standard error without the summary it ends with: --check leaves
// nothing on disk to sum up.
std::string WithoutSummary(const std::string& err) {
  const size_t classic = err.find("partsc: summary:");
  return err.substr(0, std::min(classic, err.find("{\"summary\"")));
}

// A run's console without the lines that name the parts files it writes.
std::string WithoutOutputNames(const std::string& out) {
  std::string kept;
  for (size_t at = 0; at < out.size();) {
    const size_t end = std::min(out.find('\n', at), out.size() - 1) + 1;
    const std::string line = out.substr(at, end - at);
    kept += line.starts_with("  Out put file name") ? "" : line;
    at = end;
  }
  return kept;
}

// In each format, --check shows what a run of the same library shows (but
// the parts files it would write and the summary of what the run left), and
// leaves the library as it was, to the last time stamp.
TEST(Check, ShowsWhatARunShowsAndWritesNothing) {
  const std::vector<std::vector<std::string>> formats = {
      {}, {"--diagnostics-format=gnu"}, {"--diagnostics-format=json"}};
  for (const std::vector<std::string>& format : formats) {
    SCOPED_TRACE(format.empty() ? "classic" : format[0]);
    TempDir ran;
    TempDir checked;
    MakeLibrary(ran);
    MakeLibrary(checked);
    std::vector<std::string> args = {"-pORVA.SET", "-Wall", "-c", "LIBRARY.CTL"};
    args.insert(args.end(), format.begin(), format.end());
    const ProcessResult run = RunPartsc(ran.path(), args);

    const std::map<std::string, std::string> before = Tree(checked.path());
    args.insert(args.begin(), "--check");
    const ProcessResult check = RunPartsc(checked.path(), args);
    EXPECT_EQ(Tree(checked.path()), before);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(check.exitCode, 1);  // brackets.src stops at an illegal param line
    EXPECT_EQ(ReplaceAll(check.out, checked.path(), "DIR"),
              ReplaceAll(WithoutOutputNames(run.out), ran.path(), "DIR"));
    EXPECT_EQ(ReplaceAll(check.err, checked.path(), "DIR"),
              ReplaceAll(WithoutSummary(run.err), ran.path(), "DIR"));
    EXPECT_NE(run.err.find("summary"), std::string::npos);
    EXPECT_NE((run.out + run.err).find("Illegal param defination"), std::string::npos);
  }
}

// The exit status is the one of the run under --strict: 1 for a source with
// an error, a parts file that would not read back, a run that compiles
// nothing, or under -Werror a warning (the rules that span a run included);
// sources named on the command line or in a control file; the options of a
// run are taken, what does not go with --check is refused. Nothing is
// written in any case.
TEST(Check, EndsWithOneWhenASourceHasAnError) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    int exitCode;
    std::string out;
  };
  const std::string clean = "$$PARTS !clean!\n$$APG\n$TOP !T!\n$$END\n";
  const std::string warned = "$$PARTS !warned!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !D! (1)\n";
  const std::string wrong = "$$SIZE \"A\"\n";
  const std::string viewless = "$$PARTS !clean!\n$$END\n";
  const std::string twice = "$$PARTS !clean! \"again\"\n$$APG\n$TOP !T!\n$$END\n";
  // With -q a source's progress line shows before its first diagnostic.
  const std::string endWarning =
      "\n  Input file name\t\tDIR/warned.src\n\t*** W *** Keyword $$END not found[5]\n";
  const std::string notParts =
      "\n  Input file name\t\tDIR/wrong.src\n\t*** E *** Not Parts Input File[DIR/wrong.src]\n";
  const Case cases[] = {
      {"clean", {"clean.src"}, 0, ""},
      {"a warning", {"clean.src", "warned.src"}, 0, endWarning},
      {"a warning, -Werror", {"-Werror", "clean.src", "warned.src"}, 1, endWarning},
      {"an error", {"wrong.src", "clean.src"}, 1, notParts},
      {"a source that is missing",
       {"none.src"},
       1,
       "\n  Input file name\t\tDIR/none.src\n\t*** E *** Input File Open Error\n"},
      {"a control file", {"-c", "RUN.CTL"}, 1, endWarning + notParts},
      {"a control file that is missing", {"-c", "NONE.CTL"}, -1, ""},
      {"a control file and a source", {"-c", "RUN.CTL", "clean.src"}, -1, ""},
      {"--atomic", {"--atomic", "clean.src"}, 0, ""},
      {"--strict and logs", {"--strict", "--run-log", "r.log", "-c", "RUN.CTL"}, 1,
       endWarning + notParts},
      {"no view",
       {"viewless.src"},
       1,
       "\n  Input file name\t\tDIR/viewless.src\n\t*** E *** Illegal File Delete It\n"},
      {"one parts file twice, -Werror",
       {"-Wall", "-Werror", "-c", "TWICE.CTL"},
       1,
       "\n  Input file name\t\tDIR/twice.src\n\t*** W *** Parts file DIR/clean.prt written again "
       "in this run: the earlier one is now its backup\n"},
      {"an empty control file, -Werror",
       {"-Wall", "-Werror", "-c", "EMPTY.CTL"},
       1,
       "\t*** W *** Control file names no source file\n"},
      {"--list", {"--list", "clean.src"}, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    WriteFile(dir.File("clean.src"), clean);
    WriteFile(dir.File("warned.src"), warned);
    WriteFile(dir.File("wrong.src"), wrong);
    WriteFile(dir.File("viewless.src"), viewless);
    WriteFile(dir.File("twice.src"), twice);
    WriteFile(dir.File("RUN.CTL"), "warned.src\nwrong.src\nclean.src\n");
    WriteFile(dir.File("TWICE.CTL"), "clean.src\ntwice.src\n");
    WriteFile(dir.File("EMPTY.CTL"), "/ nothing yet\n");
    const std::map<std::string, std::string> before = Tree(dir.path());
    std::vector<std::string> args = {"-q", "--check"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult check = RunPartsc(dir.path(), args);
    EXPECT_EQ(check.exitCode, c.exitCode & 0xff);
    EXPECT_EQ(ReplaceAll(check.out, dir.path(), "DIR"), c.out);
    EXPECT_EQ(Tree(dir.path()), before);
  }
}

}  // namespace
}  // namespace partsc::testing
