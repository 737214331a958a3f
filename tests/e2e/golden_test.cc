// Golden tests of whole runs of the partsc binary.
//
// Each tests/e2e/golden/*.golden file holds the input of one run and what it
// must give. Sections "--- NAME" are input, "=== NAME" expected output:
//   --- args            one argument per line
//   --- env             NAME=VALUE per line (SOURCE_DATE_EPOCH is preset)
//   --- stdin           what is typed at the prompt
//   --- runs            how many times to run (default 1); output is the last run's
//   --- file PATH       a text file written before the run ($DIR in it is
//                       the run's directory)
//   --- hexfile PATH    a file given as hex bytes
//   --- mkdir PATH      an empty directory
// An argument "/dev/full" is given as the tests' own full device.
//   === exit / === stdout / === stderr
//   === file PATH / === hex PATH   every file the run left that is not an
//                                  unchanged input, in path order
//   === gone PATH                  every input file the run removed
// A section whose last line is "\ no newline at end" ends without a line feed.
// Hex dumps show 16 bytes a line and the bytes as text between bars; a "*"
// line stands for repeats of the line above it up to the next offset.
// The run's directory shows as $DIR and the program as started as $PARTSC.
// With PARTSC_UPDATE_GOLDEN=1 in the environment the expected sections are
// rewritten from what the run gave.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <partsc/partsc.h>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNoNewline = "\\ no newline at end";
constexpr const char* kEpoch = "1700000000";

struct Section {
  std::string kind;  // "---" or "==="
  std::string name;  // "file", "stdout", ...
  std::string arg;   // the path of file sections
  std::string body;
};

std::string JoinBody(std::vector<std::string> lines) {
  const bool noNewline = !lines.empty() && lines.back() == kNoNewline;
  if (noNewline) {
    lines.pop_back();
  }
  std::string body;
  for (const std::string& line : lines) {
    body += line + '\n';
  }
  if (noNewline && !body.empty()) {
    body.pop_back();
  }
  return body;
}

std::vector<Section> ParseSections(const std::string& text) {
  std::vector<Section> sections;
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("--- ", 0) != 0 && line.rfind("=== ", 0) != 0) {
      lines.push_back(line);
      continue;
    }
    if (!sections.empty()) {
      sections.back().body = JoinBody(lines);
    }
    lines.clear();
    const std::string rest = line.substr(4);
    const size_t blank = rest.find(' ');
    sections.push_back({line.substr(0, 3), rest.substr(0, blank),
                        blank == std::string::npos ? "" : rest.substr(blank + 1), ""});
  }
  if (!sections.empty()) {
    sections.back().body = JoinBody(lines);
  }
  return sections;
}

// Everything before the first expected section: the comment and the inputs.
std::string Preamble(const std::string& text) {
  if (text.rfind("=== ", 0) == 0) {
    return "";
  }
  const size_t expected = text.find("\n=== ");
  return expected == std::string::npos ? text : text.substr(0, expected + 1);
}

std::string HexRow(size_t offset, const std::string& row) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%06zx:", offset);
  std::string hex = buffer;
  std::string shown;
  for (const char c : row) {
    std::snprintf(buffer, sizeof buffer, " %02x", static_cast<uint8_t>(c));
    hex += buffer;
    const auto u = static_cast<unsigned char>(c);
    shown += u >= 0x20 && u < 0x7f ? c : '.';
  }
  hex.resize(7 + 3 * 16, ' ');
  return hex + "  |" + shown + "|\n";
}

std::string ToHex(const std::string& bytes) {
  std::string out;
  std::string previous;
  bool repeating = false;
  for (size_t i = 0; i < bytes.size(); i += 16) {
    const std::string row = bytes.substr(i, 16);
    if (row.size() == 16 && row == previous) {
      out += repeating ? "" : "*\n";
      repeating = true;
      continue;
    }
    repeating = false;
    previous = row;
    out += HexRow(i, row);
  }
  if (repeating) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%06zx:\n", bytes.size());
    out += buffer;
  }
  return out;
}

bool IsText(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u == '\t' || u == '\n' || u == '\r' || (u >= 0x20 && u < 0x7f);
  });
}

// Console text without the places of this build and this run.
std::string Neutral(const std::string& text, const std::string& dir) {
  const std::string named = ReplaceAll(text, FullDevice(), "/dev/full");
  return ReplaceAll(ReplaceAll(named, PARTSC_BINARY, "$PARTSC"), dir, "$DIR");
}

std::string SectionText(const std::string& header, const std::string& body) {
  std::string text = header + "\n" + body;
  if (!body.empty() && body.back() != '\n') {
    text += std::string("\n") + kNoNewline + "\n";
  }
  return text;
}

std::vector<std::string> Lines(const std::string& body) {
  std::vector<std::string> lines;
  std::istringstream in(body);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// Writes the inputs into `dir`; answers the inputs by path for the later
// comparison.
std::map<std::string, std::string> WriteInputs(const std::vector<Section>& sections,
                                               const std::string& dir) {
  std::map<std::string, std::string> inputs;
  for (const Section& section : sections) {
    if (section.kind != "---") {
      continue;
    }
    const fs::path path = fs::path(dir) / section.arg;
    if (section.name == "mkdir") {
      fs::create_directories(path);
      continue;
    }
    if (section.name != "file" && section.name != "hexfile") {
      continue;
    }
    fs::create_directories(path.parent_path());
    std::string bytes = ReplaceAll(section.body, "$DIR", dir);
    if (section.name == "hexfile") {
      const std::vector<uint8_t> hex = FromHex(section.body);
      bytes.assign(hex.begin(), hex.end());
    }
    WriteFile(path.string(), bytes);
    inputs[section.arg] = bytes;
  }
  return inputs;
}

ProcessOptions OptionsFor(const std::vector<Section>& sections, const std::string& dir, int& runs) {
  ProcessOptions options;
  options.cwd = dir;
  options.env.emplace_back("SOURCE_DATE_EPOCH", kEpoch);
  runs = 1;
  for (const Section& section : sections) {
    if (section.kind != "---") {
      continue;
    }
    if (section.name == "args") {
      for (const std::string& arg : Lines(section.body)) {
        options.args.push_back(arg == "/dev/full" ? FullDevice() : ReplaceAll(arg, "$DIR", dir));
      }
    } else if (section.name == "stdin") {
      options.stdinText = section.body;
    } else if (section.name == "runs") {
      runs = std::stoi(section.body);
    } else if (section.name == "env") {
      for (const std::string& line : Lines(section.body)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && eq == line.size() - 1 && line.substr(0, eq) != "") {
          options.unsetEnv.push_back(line.substr(0, eq));
          continue;
        }
        options.env.emplace_back(line.substr(0, eq), line.substr(eq + 1));
      }
    }
  }
  return options;
}

// The expected sections a run gives.
std::string Expectations(const ProcessResult& result, const std::string& dir,
                         const std::map<std::string, std::string>& inputs) {
  std::string text;
  text += SectionText("=== exit", std::to_string(result.exitCode) + "\n");
  text += SectionText("=== stdout", Neutral(result.out, dir));
  text += SectionText("=== stderr", Neutral(result.err, dir));
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      paths.push_back(fs::relative(entry.path(), dir).string());
    }
  }
  std::sort(paths.begin(), paths.end());
  for (const std::string& path : paths) {
    const std::string bytes = ReadFile(dir + "/" + path);
    const auto input = inputs.find(path);
    if (input != inputs.end() && input->second == bytes) {
      continue;
    }
    if (IsText(bytes)) {
      text += SectionText("=== file " + path, ReplaceAll(bytes, dir, "$DIR"));
      continue;
    }
    text += SectionText("=== hex " + path, ToHex(bytes));
  }
  for (const auto& [path, bytes] : inputs) {
    if (!fs::exists(fs::path(dir) / path)) {
      text += "=== gone " + path + "\n";
    }
  }
  return text;
}

std::vector<std::string> GoldenFiles() {
  std::vector<std::string> files;
  const fs::path dir = fs::path(PARTSC_SOURCE_DIR) / "tests/e2e/golden";
  if (!fs::exists(dir)) {
    return files;
  }
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".golden") {
      files.push_back(entry.path().string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Every parts file the run wrote that lists whole passes the rule for a good
// parts file, member lists that no record points to included.
void ExpectWrittenFilesPassTheRule(const std::string& dir,
                                   const std::map<std::string, std::string>& inputs) {
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string extension = entry.path().extension().string();
    const std::string path = entry.path().string();
    const auto input = inputs.find(fs::relative(entry.path(), dir).string());
    if ((extension != ".prt" && extension != ".PRT") ||
        (input != inputs.end() && input->second == ReadFile(path))) {
      continue;
    }
    const ReadResult read = ReadPartsFile(path);
    if (read.status != ReadStatus::kOk ||
        ListModel(read.model, path).status != ListStatus::kListed) {
      continue;
    }
    for (const ModelProblem& problem : Validate(read.model, path)) {
      ADD_FAILURE() << path << ": " << problem.pointer << ": " << problem.rule;
    }
  }
}

class GoldenRun : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, MatchesExpectedOutput) {
  const std::string file = GetParam();
  const std::string text = ReadFile(file);
  const std::vector<Section> sections = ParseSections(text);
  TempDir dir;
  const std::map<std::string, std::string> inputs = WriteInputs(sections, dir.path());
  int runs = 1;
  const ProcessOptions options = OptionsFor(sections, dir.path(), runs);
  ProcessResult result;
  for (int i = 0; i < runs; ++i) {
    result = RunProcess(PARTSC_BINARY, options);
  }
  const std::string actual = Preamble(text) + Expectations(result, dir.path(), inputs);
  ExpectWrittenFilesPassTheRule(dir.path(), inputs);
  const char* update = std::getenv("PARTSC_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    WriteFile(file, actual);
    return;
  }
  EXPECT_EQ(text, actual)
      << "golden file " << file
      << " differs; rerun with PARTSC_UPDATE_GOLDEN=1 after a deliberate change";
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      c = '_';
    }
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenRun, ::testing::ValuesIn(GoldenFiles()), CaseName);

// The lines of the GNU diagnostics of a run, each named by its stable name.
std::string GnuLines(const std::string& err, const std::string& dir) {
  std::string lines;
  for (const std::string& line : Lines(Neutral(err, dir))) {
    if (line.find(" [partsc-") != std::string::npos) {
      lines += line + "\n";
    }
  }
  return lines;
}

// A golden run that compiles, with --strict and GNU diagnostics; empty for
// one that does something else.
std::vector<std::string> StrictGnuArgs(const std::vector<std::string>& args) {
  static const std::vector<std::string> kOther = {
      "--list",  "--decompile", "--from-json", "--diff", "--explain", "--init", "--lsp",
      "--help",  "--version",   "--check",     "-x",     "--no-strict"};
  std::vector<std::string> strict = {"--strict", "--diagnostics-format=gnu"};
  for (size_t i = 0; i < args.size(); ++i) {
    if (std::find(kOther.begin(), kOther.end(), args[i]) != kOther.end()) {
      return {};
    }
    if (!args[i].starts_with("--diagnostics-format")) {
      strict.push_back(args[i]);
    }
  }
  return strict;
}

// --check is the run with the disk in memory: over every golden run that
// compiles, and the example library, --check and the run, both with
// --strict, end with the same status and report the same GNU diagnostics.
TEST(GoldenCheck, ReportsWhatTheRunReports) {
  int compared = 0;
  for (const std::string& file : GoldenFiles()) {
    SCOPED_TRACE(file);
    const std::vector<Section> sections = ParseSections(ReadFile(file));
    TempDir ran;
    TempDir checked;
    WriteInputs(sections, ran.path());
    WriteInputs(sections, checked.path());
    int runs = 1;
    ProcessOptions run = OptionsFor(sections, ran.path(), runs);
    ProcessOptions check = OptionsFor(sections, checked.path(), runs);
    run.args = StrictGnuArgs(run.args);
    check.args = StrictGnuArgs(check.args);
    if (run.args.empty()) {
      continue;
    }
    ProcessResult ranResult;
    ProcessResult checkedResult;
    for (int i = 0; i < runs; ++i) {
      ranResult = RunProcess(PARTSC_BINARY, run);
      if (i + 1 < runs) {
        RunProcess(PARTSC_BINARY, check);
      }
    }
    check.args.insert(check.args.begin(), "--check");
    checkedResult = RunProcess(PARTSC_BINARY, check);
    EXPECT_EQ(checkedResult.exitCode, ranResult.exitCode);
    EXPECT_EQ(GnuLines(checkedResult.err, checked.path()), GnuLines(ranResult.err, ran.path()));
    ++compared;
  }
  EXPECT_GT(compared, 40);
}
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenRun);

}  // namespace
}  // namespace partsc::testing
