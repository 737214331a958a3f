#include "platform/ov_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc {
namespace {

using testing::FileExists;
using testing::ScopedChdir;
using testing::TempDir;
using testing::WriteFile;

class OvFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OvFile::SetClassDirectory(kClassControl, "/ctl");
    OvFile::SetClassDirectory(kClassInput, "/in/put");
    OvFile::SetClassDirectory(kClassParts, "/parts");
  }
  void TearDown() override { OvFile::ResetClassDirectories(); }
};

TEST_F(OvFileTest, ToFullPathJoinsTheClassDirectoryAndKeepsEveryCharacter) {
  struct Case {
    std::string_view key;
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {kClassControl, "run.ctl", "/ctl/run.ctl"},
      {kClassControl, "/abs/run.ctl", "/abs/run.ctl"},
      {kClassInput, "sub/a.src", "/in/put/sub/a.src"},
      {kClassInput, "  lead", "/in/put/  lead"},
      {kClassInput, "cr\r", "/in/put/cr\r"},
      {kClassInput, " /not/absolute", "/in/put/ /not/absolute"},
      {kClassInput, "", "/in/put/"},
      {kClassParts, "bolt", "/parts/bolt.prt"},
      {kClassParts, "Bolt", "/parts/Bolt.PRT"},
      {kClassParts, "bolt-12_x", "/parts/bolt-12_x.prt"},
      {kClassParts, "a/b", "/parts/a/b.prt"},
      {kClassParts, "/etc/x", "/parts//etc/x.prt"},
      {kClassParts, "../Up", "/parts/../Up.PRT"},
      {"#PARTS:XYZ#", "plain name", "plain name"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OvFile::ToFullPath(c.key, c.name, false, true), c.expected) << c.name;
  }
  EXPECT_EQ(OvFile::ToFullPath(kClassParts, "bolt", false, false), "/parts/bolt");
}

TEST_F(OvFileTest, TheRootDirectoryGivesASingleSlash) {
  OvFile::SetClassDirectory(kClassInput, "/");
  OvFile::SetClassDirectory(kClassParts, "/");
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "x", false, true), "/x");
  EXPECT_EQ(OvFile::ToFullPath(kClassParts, "x", false, true), "/x.prt");
}

TEST_F(OvFileTest, MustExistAnswersEmptyForAMissingFile) {
  TempDir dir;
  WriteFile(dir.File("there"), "");
  OvFile::SetClassDirectory(kClassInput, dir.path());
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "there", true, true), dir.File("there"));
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "missing", true, true), "");
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "missing", false, true), dir.File("missing"));
}

TEST(OvFileDefaultsTest, EveryClassIsTheCurrentDirectoryBeforeInitfiles) {
  OvFile::ResetClassDirectories();
  TempDir dir;
  ScopedChdir here(dir.path());
  // The temporary directory may lie behind a symbolic link; ask the OS.
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(OvFile::ToFullPath(kClassControl, "c", false, true), cwd + "/c");
  EXPECT_EQ(OvFile::ToFullPath(kClassInput, "i", false, true), cwd + "/i");
  EXPECT_EQ(OvFile::ToFullPath(kClassParts, "p", false, true), cwd + "/p.prt");
}

TEST(OvFileNameTest, IsLowerCaseLooksAtTheLastComponentOnly) {
  struct Case {
    std::string path;
    bool lower;
  };
  const std::vector<Case> cases = {
      {"bolt.prt", true},
      {"/Dir/Sub/bolt.prt", true},
      {"/dir/Bolt.prt", false},
      {"/dir/bolt.PRT", false},
      {"", true},
      {"/dir/", true},
      {"x-1_\xC3\x84", true},
      {"Z", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OvFile::IsLowerCase(c.path), c.lower) << c.path;
  }
}

TEST(OvFileNameTest, IsPlainName) {
  struct Case {
    std::string name;
    bool plain;
  };
  const std::vector<Case> cases = {
      {"", false}, {".", false},  {"..", false},     {"a/b", false}, {"/", false},
      {"a", true}, {"...", true}, {".hidden", true}, {" x ", true},  {"a\\b", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OvFile::IsPlainName(c.name), c.plain) << c.name;
  }
}

TEST(OvFileOpsTest, AccessRemoveRename) {
  TempDir dir;
  const std::string a = dir.File("a");
  const std::string b = dir.File("b");
  EXPECT_EQ(OvFile::Access(a, 0), -1);
  EXPECT_EQ(OvFile::Remove(a), 0) << "a file that is not there is gone";
  EXPECT_EQ(OvFile::Rename(a, b), -1);

  WriteFile(a, "x");
  EXPECT_EQ(OvFile::Access(a, 0), 0);
  EXPECT_EQ(OvFile::Rename(a, b), 0);
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(testing::ReadFile(b), "x");
  EXPECT_EQ(OvFile::Remove(b), 0);
  EXPECT_FALSE(FileExists(b));

  EXPECT_EQ(OvFile::Remove(dir.path()), -1) << "a directory is not removed";
}

}  // namespace
}  // namespace partsc
