// The manual pages render without a single warning, and cmake --install puts
// the program and both pages in place. Each test is skipped when the tool it
// needs is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
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

std::vector<std::string> TrimmedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t first = line.find_first_not_of(" \t");
    lines.push_back(first == std::string::npos ? "" : line.substr(first));
  }
  return lines;
}

// Each diagnostic's example in the rendered page is the example --explain
// gives, empty lines included.
TEST(ManualPages, EachRenderedExampleIsTheExplainExample) {
  const std::string groff = FindProgram("groff");
  if (groff.empty()) {
    GTEST_SKIP() << "groff is not installed";
  }
  const ProcessResult page = RunProcess(
      groff, {{"-man", "-Tascii", "-rLL=300n", "-P-cbu", Page("partsc.1")}, "", "", {}, {}});
  ASSERT_EQ(page.exitCode, 0) << page.err;
  const std::vector<std::string> rendered = TrimmedLines(page.out);
  const std::vector<std::string> explained =
      TrimmedLines(RunPartsc(TempDir().path(), {"--explain", "all"}).out);
  int exampleLines = 0;
  for (size_t i = 0; i < explained.size(); ++i) {
    if (explained[i] != "Example:") {
      continue;
    }
    size_t name = i;
    while (name > 0 && explained[name].rfind("partsc-", 0) != 0)
      --name;
    const std::string id = explained[name].substr(0, explained[name].find(':'));
    SCOPED_TRACE(id);
    auto at = std::find(rendered.begin(), rendered.end(), id);
    ASSERT_NE(at, rendered.end());
    at = std::find(at, rendered.end(), "Example:");
    ASSERT_NE(at, rendered.end());
    for (size_t line = i + 1; line < explained.size(); ++line, ++exampleLines) {
      const bool last = explained[line].empty() && line + 1 < explained.size() &&
                        explained[line + 1].rfind("Fix: ", 0) == 0;
      if (last)
        break;
      ++at;
      ASSERT_NE(at, rendered.end());
      EXPECT_EQ(*at, explained[line]);
    }
  }
  EXPECT_GT(exampleLines, 40);
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
