#include "lsp/settings_rule.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace partsc::lsp {
namespace {

using testing::TempDir;
using testing::WriteFile;

// The look for a settings file goes up from the document to the workspace
// folder that holds it. A folder whose name merely begins with the
// workspace's is not inside it: its document looks in its own directory
// only (no repository lies above a temporary directory). A document without
// an absolute path has no settings file, wherever the server runs.
TEST(SettingsRule, LooksUpToTheWorkspaceFolderThatHoldsTheDocument) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("ws/sub"));
  std::filesystem::create_directories(dir.File("ws2"));
  WriteFile(dir.File("ORVA.SET"), "");
  WriteFile(dir.File("ws/ORVA.SET"), "");
  SettingsRule rule("", dir.path(), true);
  rule.SetRoots({dir.File("ws")});
  EXPECT_EQ(rule.PathFor(dir.File("ws/sub/a.src")), dir.File("ws/ORVA.SET"));
  EXPECT_EQ(rule.PathFor(dir.File("ws2/a.src")), "");
  EXPECT_EQ(rule.PathFor(""), "");
  const std::string before = std::filesystem::current_path().string();
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  EXPECT_EQ(rule.PathFor("a.src"), "");
  EXPECT_EQ(rule.PathFor("ws/a.src"), "");
  ASSERT_EQ(::chdir(before.c_str()), 0);
  EXPECT_EQ(SettingsRule("", dir.path(), false).PathFor(dir.File("ws/a.src")), "");
  EXPECT_EQ(SettingsRule("ws/ORVA.SET", dir.path(), true).PathFor(dir.File("ws2/a.src")),
            dir.File("ws/ORVA.SET"));
}

}  // namespace
}  // namespace partsc::lsp
