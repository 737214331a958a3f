#include "driver/run_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/ov_file.h"
#include "platform/ov_util.h"
#include "support/test_support.h"

namespace partsc {
namespace {

using testing::ScopedChdir;
using testing::TempDir;
using testing::WriteFile;

// ParseCommandLine on "partsc" + args into `session`; answers what became of
// it, and what it printed on standard output in `out`.
ParsedCommandLine Parse(RunOptions& session, std::vector<std::string> args,
                        std::string* out = nullptr) {
  args.insert(args.begin(), "partsc");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  OvConsole console(OvConsole::InMemory{});
  ParsedCommandLine parsed = session.Parse(static_cast<int>(args.size()), argv.data(), console);
  if (out != nullptr) {
    *out = console.OutText();
  }
  return parsed;
}

// Every test runs in a fresh current directory, with a fresh session and
// without SOURCE_DATE_EPOCH unless it sets one.
class SessionTest : public ::testing::Test {
 protected:
  SessionTest() : chdir_(dir_.path()), cwd_(std::filesystem::current_path().string()) {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
      savedEpoch_ = epoch;
    }
    ::unsetenv("SOURCE_DATE_EPOCH");
  }
  ~SessionTest() override {
    if (savedEpoch_) {
      ::setenv("SOURCE_DATE_EPOCH", savedEpoch_->c_str(), 1);
    }
  }

  // initfiles after the command line `args`; answers its result, stderr in `err`.
  int Init(const std::vector<std::string>& args, std::string& err) {
    RunOptions session;
    EXPECT_TRUE(Parse(session, args).Ok());
    const std::optional<std::string> problem = session.ReadSettings(cwd_, classes_);
    err = problem ? "partsc: " + *problem + "\n" : "";
    return problem ? -1 : 0;
  }

  TempDir dir_;
  ScopedChdir chdir_;
  std::string cwd_;
  std::optional<std::string> savedEpoch_;
  OvClassDirectories classes_;
};

TEST_F(SessionTest, HelpAndVersionPrintAndAskToExitBeforeAnyCombinationIsJudged) {
  // The help is matched by its start and a word in it: a regular expression
  // over the whole of it recurses once per character in std::regex.
  struct Case {
    std::vector<std::string> args;
    std::string start;
    std::string word;
  };
  const std::vector<Case> cases = {
      {{"-h"}, "Usage: partsc [-C DIR] [-p SETTINGS] ", "--version"},
      {{"--list", "--help", "--bogus"}, "Usage: partsc [-C DIR] [-p SETTINGS] ", "--list"}};
  for (const Case& c : cases) {
    RunOptions session;
    std::string out;
    EXPECT_TRUE(Parse(session, c.args, &out).Ok());
    EXPECT_TRUE(session.ExitRequested());
    EXPECT_EQ(out.rfind(c.start, 0), 0u) << out;
    EXPECT_NE(out.find(c.word), std::string::npos) << out;
  }
  std::string version;
  RunOptions session;
  EXPECT_TRUE(Parse(session, {"-pA", "--version"}, &version).Ok());
  EXPECT_TRUE(session.ExitRequested());
  EXPECT_TRUE(std::regex_match(version, std::regex("partsc [0-9]+\\.[0-9]+\\.[0-9]+\n")));
}

TEST_F(SessionTest, ABadSettingsFileIsRefusedWithOneLine) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
      {std::nullopt, "ORVA.SET: cannot read the settings file"},
      {"#PARTS:XYZ# = .\n", "ORVA.SET:1: unknown key \"#PARTS:XYZ#\""},
      {"; dirs\n\n#parts:ctl# = .\n", "ORVA.SET:3: unknown key \"#parts:ctl#\""},
      {" = .\n", "ORVA.SET:1: unknown key \"\""},
      {"#PARTS:CTL# = .\n  ;\n#PARTS:INP# = .\r\n\t#PARTS:CTL#\t=\tsub\n",
       "ORVA.SET:4: key \"#PARTS:CTL#\" given twice"},
      {"#PARTS:CTL# .\n", "ORVA.SET:1: missing \"=\""},
      {"#PARTS:BIN# = \t\n", "ORVA.SET:1: empty directory for key \"#PARTS:BIN#\""},
      {"#PARTS:BIN# = nowhere", "ORVA.SET:1: no such directory: \"$D/nowhere\""},
      {"#PARTS:INP# = ORVA.SET\n", "ORVA.SET:1: not a directory: \"$D/ORVA.SET\""},
      {"#PARTS:ATOMIC# = Yes\n", "ORVA.SET:1: key \"#PARTS:ATOMIC#\" takes yes or no, not \"Yes\""},
      {"#PARTS:ATOMIC# = no\n#PARTS:ATOMIC# = no\n",
       "ORVA.SET:2: key \"#PARTS:ATOMIC#\" given twice"},
      {"#PARTS:STRICT# = on\n", "ORVA.SET:1: key \"#PARTS:STRICT#\" takes yes or no, not \"on\""},
      {"#PARTS:DIAGNOSTICS# = xml\n",
       "ORVA.SET:1: key \"#PARTS:DIAGNOSTICS#\" takes classic, gnu or json, not \"xml\""},
      {"#PARTS:SARIF# =\n", "ORVA.SET:1: empty value for key \"#PARTS:SARIF#\""}};
  std::filesystem::create_directory(dir_.File("sub"));
  for (const auto& [content, problem] : cases) {
    std::filesystem::remove(dir_.File("ORVA.SET"));
    if (content) {
      WriteFile(dir_.File("ORVA.SET"), *content);
    }
    std::string err;
    EXPECT_EQ(Init({"-pORVA.SET"}, err), -1) << problem;
    EXPECT_EQ(err, "partsc: " + std::regex_replace(problem, std::regex("\\$D"), cwd_) + "\n");
  }
  std::string err;
  EXPECT_EQ(Init({"-p", "sub"}, err), -1);
  EXPECT_EQ(err, "partsc: sub: cannot read the settings file\n");
}

// A library's settings file carries its everyday mode; each of its opt-ins
// can be turned off, or given otherwise, on the command line.
TEST_F(SessionTest, TheSettingsFileSetsTheEverydayModeAndTheCommandLineWins) {
  WriteFile(dir_.File("ORVA.SET"),
            "#PARTS:ATOMIC# = yes\n#PARTS:STRICT# = yes\n#PARTS:WERROR# = no\n"
            "#PARTS:WARNINGS# = all,no-long-line\ttext-cut\n#PARTS:DIAGNOSTICS# = gnu\n"
            "#PARTS:SARIF# = ci/run.sarif\n#PARTS:RUNLOG# = ci/run.log\n"
            "#PARTS:ERRORLOG# = /tmp/e.log\n");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "classic"},
      {{"-pORVA.SET"},
       "atomic strict gnu sarif=$D/ci/run.sarif run=$D/ci/run.log error=/tmp/e.log"},
      {{"-pORVA.SET", "--no-atomic", "--no-strict", "--diagnostics-format=classic", "--no-sarif",
        "--run-log", "r", "--error-log=e"},
       "classic run=r error=e"},
      {{"--no-strict", "-pORVA.SET", "--strict", "--sarif", "x.sarif", "--diagnostics-format",
        "json"},
       "atomic strict json sarif=x.sarif run=$D/ci/run.log error=/tmp/e.log"},
  };
  for (const auto& [args, mode] : cases) {
    RunOptions session;
    ASSERT_TRUE(Parse(session, args).Ok());
    const std::optional<std::string> problem = session.ReadSettings(cwd_, classes_);
    ASSERT_FALSE(problem) << *problem;
    std::string text = session.atomic.value_or(false) ? "atomic " : "";
    text += session.strict.value_or(false) ? "strict " : "";
    text += session.diagnosticsFormat.empty() ? "classic" : session.diagnosticsFormat;
    text += session.SarifPath().empty() ? "" : " sarif=" + session.SarifPath();
    text += session.runLogPath.empty() ? "" : " run=" + session.runLogPath;
    text += session.errorLogPath.empty() ? "" : " error=" + session.errorLogPath;
    EXPECT_EQ(text, std::regex_replace(mode, std::regex("\\$D"), cwd_));
    if (args.empty()) {
      EXPECT_TRUE(session.settingsWarnings.empty());
      continue;
    }
    EXPECT_EQ(session.settingsWerror, false);
    EXPECT_EQ(session.settingsWarnings,
              (std::vector<std::pair<std::string, std::string>>{{"all", "ORVA.SET:4: "},
                                                                {"no-long-line", "ORVA.SET:4: "},
                                                                {"text-cut", "ORVA.SET:4: "}}));
  }
}

TEST_F(SessionTest, ClassDirectoriesComeFromTheSettingsFileOrTheCurrentDirectory) {
  for (const char* sub : {"conf", "conf/in", "conf/out"}) {
    std::filesystem::create_directory(dir_.File(sub));
  }
  WriteFile(dir_.File("conf/ORVA.SET"),
            "; classes\r\n\r\n  #PARTS:INP#\t= in \n#PARTS:BIN#=./out//\n");
  std::string err;
  ASSERT_EQ(Init({"-p", "conf/ORVA.SET"}, err), 0);
  EXPECT_EQ(err, "");
  ScopedChdir moved(dir_.File("conf"));  // initfiles fixed the directories
  EXPECT_EQ(classes_.ToFullPath(kClassInput, "a"), cwd_ + "/conf/in/a");
  EXPECT_EQ(classes_.ToFullPath(kClassParts, "a"), cwd_ + "/conf/out/a.prt");
  EXPECT_EQ(classes_.ToFullPath(kClassControl, "a"), cwd_ + "/a");

  WriteFile(dir_.File("root.set"), "#PARTS:CTL# = /\n");
  ASSERT_EQ(Init({"-p" + dir_.File("root.set")}, err), 0);
  EXPECT_EQ(classes_.ToFullPath(kClassControl, "x"), "/x");
  EXPECT_EQ(classes_.ToFullPath(kClassInput, "x"), cwd_ + "/x");
}

TEST_F(SessionTest, InitfilesRefusesABadSourceDateEpochBeforeAnyFile) {
  for (const std::string value : {"", "-1", "+5", " 1", "1.5", "0x10", "99999999999999999999",
                                  "9223372036854775807", "1099511627776", "253402300800"}) {
    ::setenv("SOURCE_DATE_EPOCH", value.c_str(), 1);
    std::string err;
    EXPECT_EQ(Init({"-pMISSING.SET"}, err), -1) << value;
    EXPECT_EQ(err, "partsc: SOURCE_DATE_EPOCH: not a number of seconds: \"" + value + "\"\n");
  }
  for (const char* value : {"0001", "253402300799"}) {  // the last second of 9999
    ::setenv("SOURCE_DATE_EPOCH", value, 1);
    std::string err;
    EXPECT_EQ(Init({}, err), 0) << value;
  }
}

TEST_F(SessionTest, GetLocalTimeTakesSourceDateEpochInUtc) {
  const std::vector<std::pair<const char*, std::vector<int16_t>>> cases = {
      {"1700000000", {14, 11, 2023, 22, 13, 20, 0}}, {"951782400", {29, 2, 2000, 0, 0, 0, 0}}};
  for (const auto& [epoch, expected] : cases) {
    ::setenv("SOURCE_DATE_EPOCH", epoch, 1);
    int16_t date[3] = {};
    int16_t time[4] = {-1, -1, -1, -1};
    OvUtil::GetLocalTime(date, time);
    EXPECT_EQ((std::vector<int16_t>{date[0], date[1], date[2], time[0], time[1], time[2], time[3]}),
              expected)
        << epoch;
  }
  ::setenv("SOURCE_DATE_EPOCH", "soon", 1);  // falls back to the local time
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ASSERT_NE(::localtime_r(&now, &local), nullptr);
  int16_t date[3] = {};
  int16_t time[4] = {};
  OvUtil::GetLocalTime(date, time);
  EXPECT_EQ(date[2], local.tm_year + 1900);
}

// What a command line leaves in the session, in one comparable text.
std::string Settings(const RunOptions& session) {
  const char* actions[] = {"compile", "list",  "decompile", "explain", "init",
                           "lsp",     "check", "from-json", "diff"};
  std::string text = actions[static_cast<int>(session.action)];
  text += " p=" + session.settingsPath + " c=" + session.controlName;
  text += session.strict.value_or(false) ? " strict" : "";
  text += session.quiet.value_or(false) ? " quiet" : "";
  for (const std::string& file : session.listFiles) {
    text += " [" + file + "]";
  }
  for (const std::string& source : session.sources) {
    text += " <" + source + ">";
  }
  text += " d=" + session.decompileFile + " o=" + session.output;
  text += session.Given(OptionId::kForce) ? " force" : "";
  text += session.atomic.value_or(false) ? " atomic" : "";
  for (const std::string& directory : session.directories) {
    text += " C=" + directory;
  }
  return text;
}

TEST_F(SessionTest, CommandLineOptionsAndTheirCombinations) {
  struct Case {
    std::vector<std::string> args;
    std::string settings;  // "refused: " and why, for a refused one
  };
  const std::vector<Case> cases = {
      {{}, "compile p= c= d= o="},
      {{"-pORVA.SET"}, "compile p=ORVA.SET c= d= o="},
      {{"-p", "-x"}, "compile p=-x c= d= o="},
      {{"-p"}, "refused: option '-p' requires an argument"},
      {{"-p", ""}, "refused: invalid or repeated argument '' for '-p'"},
      {{"-pA", "-pB"}, "refused: invalid or repeated argument 'B' for '-p'"},
      {{"-x"}, "refused: unrecognized option '-x'"},
      {{"-c", "RUN.CTL"}, "compile p= c=RUN.CTL d= o="},
      {{"-cRUN.CTL", "-pS"}, "compile p=S c=RUN.CTL d= o="},
      {{"--control", " A B "}, "compile p= c= A B  d= o="},
      {{"--control=RUN.CTL", "--strict", "-q"}, "compile p= c=RUN.CTL strict quiet d= o="},
      {{"--list", "a.prt", "b.prt"}, "list p= c= [a.prt] [b.prt] d= o="},
      {{"--list", "a.prt", "-pS", "-q", "b.prt", "--", "-x", "--list"},
       "list p=S c= quiet [a.prt] [b.prt] [-x] [--list] d= o="},
      {{"a.prt", "--list"}, "refused: unexpected argument 'a.prt'"},
      {{"--list", "-", ""}, "list p= c= [-] [] d= o="},
      {{"--decompile", "a.prt"}, "decompile p= c= d=a.prt o="},
      {{"--decompile=a.prt", "-o", "a.src", "-q"}, "decompile p= c= quiet d=a.prt o=a.src"},
      {{"-oa.src", "--decompile", "-x.prt"}, "decompile p= c= d=-x.prt o=a.src"},
      {{"--output=a.src", "--decompile", "a.prt", "-pS"}, "decompile p=S c= d=a.prt o=a.src"},
      {{"--force", "--decompile", "a", "-o", "b"}, "decompile p= c= d=a o=b force"},
      {{"--decompile", "a", "--force"},
       "refused: option '--force' needs -o OUT, the file it overwrites"},
      {{"-C", "a", "-Cb", "-c", "R"}, "compile p= c=R d= o= C=a C=b"},
      {{"--list", "x", "-C", "-q"}, "list p= c= [x] d= o= C=-q"},
      {{"-C", ""}, "refused: invalid or repeated argument '' for '-C'"},
      {{"--atomic", "-c", "R", "--strict"}, "compile p= c=R strict d= o= atomic"},
      {{"--list", "a", "--atomic"}, "refused: option '--atomic' does not go with '--list'"},
      {{"--list", "a", "--no-atomic", "--no-strict", "--no-sarif"},
       "refused: option '--no-atomic' does not go with '--list'"},
      {{"--atomic", "--no-atomic", "--strict", "--no-strict"}, "compile p= c= d= o="},
      {{"--decompile", "a", "--atomic"},
       "refused: option '--atomic' does not go with '--decompile'"},
      {{"-C"}, "refused: option '-C' requires an argument"},
      {{"--list", "a", "--format=xml"},
       "refused: invalid or repeated argument 'xml' for '--format'"},
      {{"--list", "a", "--format=json", "--format=json"},
       "refused: invalid or repeated argument 'json' for '--format'"},
      {{"--force"}, "refused: option '--force' goes with '--decompile' or '--from-json' only"},
      {{"--list"}, "refused: option '--list' needs at least one FILE"},
      {{"--list", "a", "--decompile", "b"},
       "refused: options '--list' and '--decompile' do not go together"},
      {{"--list", "a", "-c", "R"}, "refused: option '-c' does not go with '--list'"},
      {{"--list", "a", "--strict"}, "refused: option '--strict' does not go with '--list'"},
      {{"--decompile", "a", "-c", "R"}, "refused: option '-c' does not go with '--decompile'"},
      {{"--list", "a", "-o", "b"}, "refused: option '-o' does not go with '--list'"},
      {{"-o", "b"}, "refused: option '-o' goes with '--decompile' or '--from-json' only"},
      {{"-c"}, "refused: option '-c' requires an argument"},
      {{"--control="}, "refused: invalid or repeated argument '' for '--control'"},
      {{"-c", "A", "-c", "B"}, "refused: invalid or repeated argument 'B' for '-c'"},
      {{"--decompile", "a", "--decompile", "b"},
       "refused: invalid or repeated argument 'b' for '--decompile'"},
      {{"-o", "x", "-o", "y", "--decompile", "a"},
       "refused: invalid or repeated argument 'y' for '-o'"},
      {{"--controlRUN"}, "refused: unrecognized option '--controlRUN'"},
      {{"--list=a"}, "refused: unrecognized option '--list=a'"},
      {{"-qq"}, "refused: unrecognized option '-qq'"},
      {{"RUN.CTL"}, "refused: unexpected argument 'RUN.CTL'"},
      {{"--check"}, "check p= c= d= o="},
      {{"--check", "-c", "R", "-pS", "-q"}, "check p=S c=R quiet d= o="},
      {{"--check", "a.src", "--", "-b.src"}, "check p= c= <a.src> <-b.src> d= o="},
      {{"--check", "a.src", "-c", "R"},
       "refused: option '--check' takes SOURCE... or -c CONTROL, not both"},
      {{"--check", "--atomic"}, "check p= c= d= o= atomic"},
      {{"--check", "--strict"}, "check p= c= strict d= o="},
      {{"--check", "--run-log", "r"}, "check p= c= d= o="},
      {{"--list", "a", "--error-log", "e"},
       "refused: option '--error-log' does not go with '--list'"},
      {{"--decompile", "a", "--run-log=r"},
       "refused: option '--run-log' does not go with '--decompile'"},
      {{"--explain", "all", "--error-log", "e"},
       "refused: option '--error-log' does not go with '--explain'"},
      {{"--lsp", "--run-log", "r"}, "refused: option '--run-log' does not go with '--lsp'"},
      {{"--run-log", "a", "--run-log", "b"},
       "refused: invalid or repeated argument 'b' for '--run-log'"},
      {{"--error-log="}, "refused: invalid or repeated argument '' for '--error-log'"},
      {{"--changes", "-c", "R"}, "compile p= c=R d= o="},
      {{"--changes", "--list", "a"}, "refused: option '--changes' does not go with '--list'"},
      {{"--changes", "--check"}, "check p= c= d= o="},
      {{"--check", "--list", "a"}, "refused: options '--check' and '--list' do not go together"},
      {{"--check", "--decompile", "a"},
       "refused: options '--check' and '--decompile' do not go together"},
      {{"--check", "--explain", "all"},
       "refused: options '--check' and '--explain' do not go together"},
      {{"--check", "--lsp"}, "refused: options '--check' and '--lsp' do not go together"},
      {{"--check", "--init"}, "refused: options '--check' and '--init' do not go together"},
      {{"--init", "--run-log", "r"}, "refused: option '--run-log' does not go with '--init'"},
      {{"--init", "--strict"}, "refused: option '--strict' does not go with '--init'"},
      {{"--init", "--sarif-base", "d"}, "refused: option '--sarif-base' does not go with '--init'"},
  };
  for (const Case& c : cases) {
    RunOptions session;
    std::string out;
    const ParsedCommandLine parsed = Parse(session, c.args, &out);
    const bool accepted = parsed.Ok();
    EXPECT_EQ(out, "");
    // A refused command line leaves no options behind.
    const std::string got = accepted ? Settings(session) : "refused: " + parsed.result.reason;
    EXPECT_EQ(got, c.settings) << ::testing::PrintToString(c.args);
    if (!accepted) {
      EXPECT_EQ(Settings(session), "compile p= c= d= o=");
    }
    EXPECT_FALSE(session.ExitRequested());
  }
}

// A refused command line tells the action it was meant for only when it
// named exactly one, and every word of it was taken.
TEST_F(SessionTest, RefusalNamesTheActionMeant) {
  struct Case {
    std::vector<std::string> args;
    ActionId action;
  };
  const std::vector<Case> cases = {
      {{"--diff", "a"}, ActionId::kDiff},
      {{"--list", "a", "-c", "R"}, ActionId::kList},
      {{"--list", "a", "--decompile", "b"}, ActionId::kCompile},
      {{"--list", "a", "--bogus"}, ActionId::kCompile},
  };
  for (const Case& c : cases) {
    RunOptions session;
    const ParsedCommandLine parsed = Parse(session, c.args);
    EXPECT_EQ(parsed.result.status, OvParse::kRefused) << ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.action, c.action) << ::testing::PrintToString(c.args);
  }
}

}  // namespace
}  // namespace partsc
