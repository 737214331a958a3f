#include "platform/ov_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace partsc {
namespace {

using testing::FileExists;
using testing::TempDir;
using testing::WriteFile;

TEST(OvClassDirectoriesTest, ToFullPathJoinsTheClassDirectoryAndKeepsEveryCharacter) {
  OvClassDirectories classes;
  classes.Set(kClassControl, "/ctl");
  classes.Set(kClassInput, "/in/put");
  classes.Set(kClassParts, "/parts");
  struct Case {
    std::string_view key;
    std::string name, expected;
  };
  const std::vector<Case> cases = {{kClassControl, "run.ctl", "/ctl/run.ctl"},
                                   {kClassControl, "/abs/run.ctl", "/abs/run.ctl"},
                                   {kClassInput, "sub/a.src", "/in/put/sub/a.src"},
                                   {kClassInput, "cr\r", "/in/put/cr\r"},
                                   {kClassInput, " /not/absolute", "/in/put/ /not/absolute"},
                                   {kClassParts, "bolt-12_x", "/parts/bolt-12_x.prt"},
                                   {kClassParts, "Bolt", "/parts/Bolt.PRT"},
                                   {kClassParts, "/etc/X", "/parts//etc/X.PRT"},
                                   {"#PARTS:XYZ#", "plain name", "plain name"}};
  for (const Case& c : cases) {
    EXPECT_EQ(classes.ToFullPath(c.key, c.name), c.expected) << c.name;
  }

  classes.Set(kClassInput, "/");
  classes.Set(kClassParts, "/");
  EXPECT_EQ(classes.ToFullPath(kClassInput, "x"), "/x");
  EXPECT_EQ(classes.ToFullPath(kClassParts, "x"), "/x.prt");
}

TEST(OvFileNameTest, IsLowerCaseAndIsPlainName) {
  const std::vector<std::pair<std::string, bool>> lower = {
      {"bolt.prt", true}, {"/Dir/Sub/bolt.prt", true}, {"/dir/Bolt.prt", false}, {"b.PRT", false},
      {"/dir/", true},    {"x-1_\xC3\x84", true}};
  for (const auto& [path, expected] : lower) {
    EXPECT_EQ(OvFile::IsLowerCase(path), expected) << path;
  }
  const std::vector<std::pair<std::string, bool>> plain = {
      {"", false}, {".", false},  {"..", false},     {"a/b", false}, {"/", false},
      {"a", true}, {"...", true}, {".hidden", true}, {" x ", true}};
  for (const auto& [name, expected] : plain) {
    EXPECT_EQ(OvFile::IsPlainName(name), expected) << name;
  }
}

TEST(OvFileOpsTest, AccessRemoveRename) {
  TempDir dir;
  const std::string a = dir.File("a");
  const std::string b = dir.File("b");
  EXPECT_EQ(OvFile::Access(a).reason, "No such file or directory");
  EXPECT_TRUE(OvFile::Remove(a).Ok()) << "a file that is not there is gone";
  EXPECT_EQ(OvFile::Rename(a, b).reason, "No such file or directory");

  WriteFile(a, "x");
  EXPECT_TRUE(OvFile::Access(a).Ok());
  EXPECT_TRUE(OvFile::Rename(a, b).Ok());
  EXPECT_FALSE(FileExists(a));
  EXPECT_TRUE(OvFile::Remove(b).Ok());
  EXPECT_FALSE(FileExists(b));
  EXPECT_EQ(OvFile::Remove(dir.path()).reason, "Is a directory") << "a directory is not removed";
  EXPECT_FALSE(OvFile::IsFile(dir.path())) << "a directory is not a file";
  EXPECT_FALSE(OvFile::IsFile(a));
  EXPECT_TRUE(OvFile::IsFile((WriteFile(a, "x"), a)));
}

// A path is shown relative to the current directory only when it lies
// below it.
TEST(OvFileNameTest, RelativeToShortensOnlyPathsBelowTheDirectory) {
  struct Case {
    std::string current, path, shown;
  };
  const std::vector<Case> cases = {{"/work/a", "/work/a/b/c.src", "b/c.src"},
                                   {"/work/a", "/work/ab/c.src", "/work/ab/c.src"},
                                   {"/work/a", "/tmp/bb/c.src", "/tmp/bb/c.src"},
                                   {"/work/a", "/work/a/", "/work/a/"},
                                   {"/work/a", "/work/a", "/work/a"},
                                   {"/", "/c.src", "/c.src"},
                                   {"", "c.src", "c.src"}};
  for (const Case& c : cases) {
    EXPECT_EQ(OvFile::RelativeTo(c.current, c.path), c.shown) << c.current << " " << c.path;
  }
}

}  // namespace
}  // namespace partsc
