#include "platform/ov_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "platform/ov_file.h"
#include "support/test_support.h"

namespace partsc {
namespace {

using testing::CaptureFd;
using testing::ScopedChdir;
using testing::TempDir;
using testing::WriteFile;

// Sets (or with nullopt removes) an environment variable for the life of the
// object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      previous_ = old;
    }
    Apply(value);
  }
  ~ScopedEnv() { Apply(previous_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void Apply(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  std::string name_;
  std::optional<std::string> previous_;
};

struct CommandLine {
  bool accepted = false;
  std::string out;
};

CommandLine Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "partsc");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  CaptureFd out(1);
  CommandLine result;
  result.accepted =
      OvSession::GetInstance().ParseCommandLine(static_cast<int>(args.size()), argv.data());
  result.out = out.Text();
  return result;
}

TEST(CommandLineTest, AcceptsOrRefuses) {
  struct Case {
    std::vector<std::string> args;
    bool accepted;
    std::string settings;
  };
  const std::vector<Case> cases = {
      {{}, true, ""},
      {{"-pORVA.SET"}, true, "ORVA.SET"},
      {{"-p", "ORVA.SET"}, true, "ORVA.SET"},
      {{"-p", "-x"}, true, "-x"},
      {{"-p/abs/s e t"}, true, "/abs/s e t"},
      {{"-p"}, false, ""},
      {{"-p", ""}, false, ""},
      {{"-pA", "-pB"}, false, ""},
      {{"-p", "A", "-p", "B"}, false, ""},
      {{"ORVA.SET"}, false, ""},
      {{"-x"}, false, ""},
      {{"--p"}, false, ""},
      {{"-help"}, false, ""},
      {{"-P", "x"}, false, ""},
  };
  for (const Case& c : cases) {
    const std::string shown = ::testing::PrintToString(c.args);
    const CommandLine result = Parse(c.args);
    EXPECT_EQ(result.accepted, c.accepted) << shown;
    EXPECT_EQ(result.out, "") << shown;
    EXPECT_FALSE(OvSession::GetInstance().ExitRequested()) << shown;
    if (c.accepted) {
      EXPECT_EQ(OvSession::GetInstance().SettingsPath(), c.settings) << shown;
    }
    EXPECT_EQ(OvSession::GetInstance().ProgramName(), "partsc");
  }
  OvSession::GetInstance().Reset();
}

TEST(CommandLineTest, HelpAndVersionPrintAndAskToExit) {
  struct Case {
    std::vector<std::string> args;
    std::string pattern;
  };
  const std::vector<Case> cases = {
      {{"-h"}, "^Usage: partsc \\[-p SETTINGS\\]\n(.|\n)*-p SETTINGS, -pSETTINGS(.|\n)*"},
      {{"--help", "-x"}, "^Usage: partsc \\[-p SETTINGS\\]\n(.|\n)*--version(.|\n)*"},
      {{"-pA", "--version"}, "^partsc [0-9]+\\.[0-9]+\\.[0-9]+\n$"},
  };
  for (const Case& c : cases) {
    const CommandLine result = Parse(c.args);
    EXPECT_TRUE(result.accepted);
    EXPECT_TRUE(OvSession::GetInstance().ExitRequested());
    EXPECT_TRUE(std::regex_match(result.out, std::regex(c.pattern))) << result.out;
  }
  OvSession::GetInstance().Reset();
  EXPECT_FALSE(OvSession::GetInstance().ExitRequested());
  EXPECT_EQ(OvSession::GetInstance().SettingsPath(), "");
  EXPECT_EQ(OvSession::GetInstance().ProgramName(), "");
}

// Each test runs in a fresh current directory with a fresh session.
class InitfilesTest : public ::testing::Test {
 protected:
  InitfilesTest() : chdir_(dir_.path()), cwd_(std::filesystem::current_path().string()) {}
  ~InitfilesTest() override {
    OvSession::GetInstance().Reset();
    OvFile::ResetClassDirectories();
  }

  // initfiles after the command line `args`; the stderr text in `err`.
  int Run(const std::vector<std::string>& args, std::string& err) {
    EXPECT_TRUE(Parse(args).accepted);
    CaptureFd capture(2);
    const int result = initfiles();
    err = capture.Text();
    return result;
  }

  TempDir dir_;
  ScopedChdir chdir_;
  std::string cwd_;
  ScopedEnv epoch_{"SOURCE_DATE_EPOCH", std::nullopt};
};

TEST_F(InitfilesTest, RefusesABadSettingsFileWithOneLine) {
  struct Case {
    std::optional<std::string> content;  // nullopt: no such file
    std::string err;                     // "$D" stands for the current directory
  };
  const std::vector<Case> cases = {
      {std::nullopt, "partsc: ORVA.SET: cannot read the settings file\n"},
      {"#PARTS:XYZ# = .\n", "partsc: ORVA.SET:1: unknown key \"#PARTS:XYZ#\"\n"},
      {"; dirs\n\n#parts:ctl# = .\n", "partsc: ORVA.SET:3: unknown key \"#parts:ctl#\"\n"},
      {" = .\n", "partsc: ORVA.SET:1: unknown key \"\"\n"},
      {"#PARTS:CTL# = .\n  ;\n#PARTS:INP# = .\r\n\t#PARTS:CTL#\t=\tsub\n",
       "partsc: ORVA.SET:4: key \"#PARTS:CTL#\" given twice\n"},
      {"#PARTS:CTL# .\n", "partsc: ORVA.SET:1: missing \"=\"\n"},
      {"#PARTS:BIN# = \t\n", "partsc: ORVA.SET:1: empty directory for key \"#PARTS:BIN#\"\n"},
      {"#PARTS:BIN# = nowhere", "partsc: ORVA.SET:1: not a directory: \"$D/nowhere\"\n"},
      {"#PARTS:INP# = plain.txt\n", "partsc: ORVA.SET:1: not a directory: \"$D/plain.txt\"\n"},
  };
  WriteFile(dir_.File("plain.txt"), "");
  std::filesystem::create_directory(dir_.File("sub"));
  for (const Case& c : cases) {
    std::filesystem::remove(dir_.File("ORVA.SET"));
    if (c.content) {
      WriteFile(dir_.File("ORVA.SET"), *c.content);
    }
    std::string err;
    EXPECT_EQ(Run({"-pORVA.SET"}, err), -1) << c.err;
    const std::string expected = std::regex_replace(c.err, std::regex("\\$D"), cwd_);
    EXPECT_EQ(err, expected);
  }
}

TEST_F(InitfilesTest, ASettingsFileThatIsADirectoryCannotBeRead) {
  std::filesystem::create_directory(dir_.File("set.d"));
  std::string err;
  EXPECT_EQ(Run({"-p", "set.d"}, err), -1);
  EXPECT_EQ(err, "partsc: set.d: cannot read the settings file\n");
}

TEST_F(InitfilesTest, WithoutSettingsEveryClassIsTheCurrentDirectory) {
  std::string err;
  ASSERT_EQ(Run({}, err), 0);
  EXPECT_EQ(err, "");
  const std::filesystem::path elsewhere = dir_.File("elsewhere");
  std::filesystem::create_directory(elsewhere);
  ScopedChdir moved(elsewhere.string());  // the directory was fixed by initfiles
  EXPECT_EQ(OvFile::ToFullPath(kClassControl, "c", false, true), cwd_ + "/c");
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "i", false, true), cwd_ + "/i");
  EXPECT_EQ(OvFile::ToFullPath(kClassParts, "p", false, true), cwd_ + "/p.prt");
}

TEST_F(InitfilesTest, RelativeDirectoriesAreTakenFromTheSettingsFilesDirectory) {
  for (const char* sub : {"conf", "conf/in", "conf/out"}) {
    std::filesystem::create_directory(dir_.File(sub));
  }
  WriteFile(dir_.File("conf/ORVA.SET"),
            "; class directories\r\n"
            "\r\n"
            "  #PARTS:INP#\t= in \n"
            "#PARTS:BIN#=./out//\n");
  std::string err;
  ASSERT_EQ(Run({"-p", "conf/ORVA.SET"}, err), 0);
  EXPECT_EQ(err, "");
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "a", false, true), cwd_ + "/conf/in/a");
  EXPECT_EQ(OvFile::ToFullPath(kClassParts, "a", false, true), cwd_ + "/conf/out/a.prt");
  EXPECT_EQ(OvFile::ToFullPath(kClassControl, "a", false, true), cwd_ + "/a");

  WriteFile(dir_.File("root.set"), "#PARTS:CTL# = /\n#PARTS:BIN# = " + cwd_ + "/conf/\n");
  ASSERT_EQ(Run({"-proot.set"}, err), 0);
  EXPECT_EQ(OvFile::ToFullPath(kClassControl, "x", false, true), "/x");
  EXPECT_EQ(OvFile::ToFullPath(kClassParts, "X", false, true), cwd_ + "/conf/X.PRT");
}

TEST_F(InitfilesTest, ChecksSourceDateEpochBeforeAnyFile) {
  const std::vector<std::string> refused = {
      "",
      "-1",
      "+5",
      " 1",
      "1 ",
      "12a",
      "1.5",
      "0x10",
      "99999999999999999999",
      "9223372036854775807",  // fits in 64 bits, but no calendar holds it
  };
  for (const std::string& value : refused) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", value);
    std::string err;
    EXPECT_EQ(Run({"-pMISSING.SET"}, err), -1) << value;
    EXPECT_EQ(err, "partsc: SOURCE_DATE_EPOCH: not a number of seconds: \"" + value + "\"\n");
  }
  for (const std::string value : {"0", "1700000000", "0001"}) {
    ScopedEnv epoch("SOURCE_DATE_EPOCH", value);
    std::string err;
    EXPECT_EQ(Run({}, err), 0) << value;
    EXPECT_EQ(err, "");
  }
}

}  // namespace
}  // namespace partsc
