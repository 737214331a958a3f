// Whole runs of the partsc binary: a parts name never reaches outside the
// parts directory, a failed compile or listing never loses the older parts
// file, and '%' in any name, comment or path is printed as text.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOlder = "older parts file\n";

// Every file under `root` with its content, but the two logs of a run.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (name == "TALVIREN.LOG" || name.ends_with(".CTL.LOG") || name.ends_with(".ctl.LOG")) {
      continue;
    }
    files[entry.path().string()] = entry.is_regular_file() ? ReadFile(entry.path()) : "<dir>";
  }
  return files;
}

// A run directory with a settings file: control files in the directory
// itself, sources in `src`, parts files in `parts`.
class RunDir {
 public:
  explicit RunDir(const std::string& src = "src", const std::string& parts = "parts")
      : root_(dir_.path() + "/run"), src_(root_ + "/" + src), parts_(root_ + "/" + parts) {
    fs::create_directories(src_);
    fs::create_directories(parts_);
    WriteFile(root_ + "/ORVA.SET",
              "#PARTS:CTL# = .\n#PARTS:INP# = " + src + "\n#PARTS:BIN# = " + parts + "\n");
  }

  const std::string& root() const { return root_; }
  const std::string& src() const { return src_; }
  const std::string& parts() const { return parts_; }
  std::string outside() const { return dir_.path(); }

  void WriteControl(const std::string& control, const std::string& lines) const {
    WriteFile(root_ + "/" + control, lines);
  }

  ProcessResult Run(const std::string& control) const {
    ProcessOptions options;
    options.args = {"-pORVA.SET"};
    options.cwd = root_;
    options.stdinText = control + "\n";
    options.env = {{"SOURCE_DATE_EPOCH", "1700000000"}};
    return RunProcess(PARTSC_BINARY, options);
  }

 private:
  TempDir dir_;
  std::string root_;
  std::string src_;
  std::string parts_;
};

TEST(NothingLost, APartsNameNeverReachesOutsideThePartsDirectory) {
  RunDir run;
  // Files a name that escaped would create, rename or remove.
  WriteFile(run.outside() + "/escape.prt", "outside\n");
  WriteFile(run.root() + "/escape.prt", "beside the parts directory\n");
  fs::create_directories(run.parts() + "/sub");
  WriteFile(run.parts() + "/sub/name.prt", "in a subdirectory\n");
  const std::vector<std::string> names = {"../escape", "../../escape", "sub/name", "..",
                                          ".",         "/tmp/escape"};
  std::string control;
  std::string expectedErr;
  std::string expectedLog;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string source = "n" + std::to_string(i) + ".src";
    WriteFile(run.src() + "/" + source,
              "$$PARTS !" + names[i] + "!\n$$APG\n$TOP !T!\n$$SIZE \"S\"\np !W! (1)\n$$END\n");
    control += source + "\n";
    expectedErr += "File " + run.parts() + "/" + names[i] + ".prt open error\n";
    expectedLog += "Input File [" + run.src() + "/" + source + "]\n";
  }
  run.WriteControl("NAMES.CTL", control);
  const auto before = Snapshot(run.outside());

  const ProcessResult result = run.Run("NAMES.CTL");

  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, expectedErr);
  EXPECT_EQ(ReadFile(run.root() + "/NAMES.CTL.LOG"), expectedLog);
  EXPECT_EQ(ReadFile(run.root() + "/TALVIREN.LOG"), "");
  EXPECT_EQ(Snapshot(run.outside()), before);
}

struct KeepCase {
  const char* label;
  const char* body;         // the source after its $$PARTS line
  const char* diagnostics;  // the error log after "Input File [...]"
  bool partsFileIsOlder;    // the older file is still under its own name
  bool partsFileExists;
};

TEST(NothingLost, AFailedCompileOrListingKeepsTheOlderFile) {
  const KeepCase cases[] = {
      {"pass 2 refuses a member line", "$$APG\n$TOP !T!\n$$SIZE \"S\"\np !W! (1) <2,0>\n$$END\n",
       "\t*** W *** Illegal param defination[5]\n", false, true},
      {"pass 1 refuses a size line", "$$APG\n$TOP !T!\n$$SIZE \"S\"\n$$SIZE \"S\"\n$$END\n",
       "\t*** E *** Size name multiple define[5]\n", true, true},
      {"the listing finds no view name", "$$APG\n$$SIZE \"S\"\np !W! (1)\n$$END\n",
       "\t*** E *** Illegal File Delete It\n", false, false},
  };
  for (const KeepCase& c : cases) {
    SCOPED_TRACE(c.label);
    RunDir run;
    WriteFile(run.src() + "/keep.src", std::string("$$PARTS !keep!\n") + c.body);
    const std::string path = run.parts() + "/keep.prt";
    WriteFile(path, kOlder);
    WriteFile(path + ".old", "an even older backup\n");

    run.WriteControl("KEEP.CTL", "keep.src\n");
    const ProcessResult result = run.Run("KEEP.CTL");

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(ReadFile(run.root() + "/KEEP.CTL.LOG"),
              "Input File [" + run.src() + "/keep.src]\n" + c.diagnostics);
    EXPECT_EQ(FileExists(path), c.partsFileExists);
    if (c.partsFileIsOlder) {
      EXPECT_EQ(ReadFile(path), kOlder);
      EXPECT_EQ(ReadFile(path + ".old"), "an even older backup\n");
      continue;
    }
    EXPECT_EQ(ReadFile(path + ".old"), kOlder);
  }
}

TEST(NothingLost, PercentSignsInNamesCommentsAndPathsArePrintedAsText) {
  RunDir run("src%s%n", "parts%d%n");
  WriteFile(run.src() + "/s%n%s.src",
            "t !M! (%n)\n"
            "$$PARTS !p%s%n! \"%s%n%d\"\n"
            "$$APG\n"
            "$TOP !%n! \"%s\"\n"
            "$$COMMON \"%x\"\n"
            "s <1,1>\"%n%s\"\n"
            "$$TITLE \"%p%n\"\n"
            "$$SIZE \"%s\" !%n!\n"
            "p !%n! (%s{M}) \"%d\"\n"
            "$$END\n");

  run.WriteControl("c%s%n.ctl", "s%n%s.src\n");
  const ProcessResult result = run.Run("c%s%n.ctl");

  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadFile(run.root() + "/c%s%n.ctl.LOG"), "Input File [" + run.src() + "/s%n%s.src]\n");
  EXPECT_NE(result.out.find("\tParts name\t\tp%s%n\n"), std::string::npos) << result.out;
  EXPECT_EQ(ReadFile(run.root() + "/TALVIREN.LOG"),
            "/ PARTS FILE NAME : " + run.parts() +
                "/p%s%n.prt\n"
                "/ CREATED DATE    : 2023/11/14\n"
                "/         TIME    : 22:13\n"
                "/ PARTS COMMENT   : %s%n%d\n"
                "/ PARTS VERSION   : 102\n"
                "/ COUNT OF SIZE   : 1\n"
                "$$PARTS\t!p%s%n!\t\"%s%n%d\"\n"
                "/ APG DEFINATION\n"
                "$$APG\n"
                "$TOP\t!%n!\t%s\n"
                "$$COMMON\n"
                "s <1,1>\"%n%s\"\n"
                "$$TITLE\t\"%p%n\"\n"
                " $$LSORT\n"
                "$$SIZE\t\"%s\"\t!%n!\n"
                "p !%n! (%s%n)\" %d\"\n"
                "$$END\n"
                "/---------------------------------------/\n");
}

}  // namespace
}  // namespace partsc::testing
