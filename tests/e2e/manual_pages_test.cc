// The manual pages render without a single warning, and cmake --install puts
// the program and both pages in place. Each test is skipped when the tool it
// needs is not installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

// The full path of a program on PATH, or empty.
std::string FindProgram(const std::string& name) {
  const ProcessResult found = RunProcess("/bin/sh", {{"-c", "command -v " + name}, "", "", {}, {}});
  return found.exitCode == 0 ? found.out.substr(0, found.out.find('\n')) : "";
}

std::string Page(const char* name) {
  return (fs::path(PARTSC_SOURCE_DIR) / "man" / name).string();
}

TEST(ManualPages, RenderWithoutWarnings) {
  const std::string man = FindProgram("man");
  const std::string groff = FindProgram("groff");
  if (man.empty() && groff.empty()) {
    GTEST_SKIP() << "neither man nor groff is installed";
  }
  for (const char* name : {"partsc.1", "partsc.5"}) {
    SCOPED_TRACE(name);
    ProcessOptions options;
    options.env = {{"MANWIDTH", "80"}};
    options.args = man.empty() ? std::vector<std::string>{"-ww", "-man", "-Tutf8", Page(name)}
                               : std::vector<std::string>{"--warnings", "-l", "-Tutf8", Page(name)};
    const ProcessResult result = RunProcess(man.empty() ? groff : man, options);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("compiles"), std::string::npos);
  }
}

TEST(ManualPages, InstallPutsTheProgramThePagesAndTheCompletionInPlace) {
  const std::string cmake = FindProgram("cmake");
  if (cmake.empty()) {
    GTEST_SKIP() << "cmake is not installed";
  }
  TempDir prefix;
  ProcessOptions options;
  options.args = {"--install", fs::path(PARTSC_BINARY).parent_path().string(), "--prefix",
                  prefix.path()};
  const ProcessResult result = RunProcess(cmake, options);
  ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
  const fs::path program = fs::path(prefix.path()) / "bin/partsc";
  ASSERT_TRUE(fs::is_regular_file(program));
  EXPECT_NE(fs::status(program).permissions() & fs::perms::owner_exec, fs::perms::none);
  for (const char* page : {"man1/partsc.1", "man5/partsc.5"}) {
    SCOPED_TRACE(page);
    const std::string installed = prefix.File("share/man/" + std::string(page) + ".gz");
    const ProcessResult unpacked =
        RunProcess("/bin/sh", {{"-c", "gzip -dc '" + installed + "'"}, "", "", {}, {}});
    EXPECT_EQ(unpacked.exitCode, 0);
    EXPECT_EQ(unpacked.out, ReadFile(Page(fs::path(page).filename().c_str())));
  }
  EXPECT_TRUE(fs::is_regular_file(prefix.File("share/bash-completion/completions/partsc")));
  EXPECT_TRUE(fs::is_regular_file(prefix.File("share/doc/partsc/copyright")));
}

}  // namespace
}  // namespace partsc::testing
