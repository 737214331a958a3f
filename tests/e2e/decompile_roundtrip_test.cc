// Every parts file of the example library and of the fuzz corpora that reads
// back is decompiled by the partsc binary, compiled again from the recovered
// source, and compared with the original byte for byte but for the creation
// date. The counts are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

// The files of `dir` in name order; with `partsOnly`, parts files only.
std::vector<fs::path> FilesIn(const fs::path& dir, bool partsOnly) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string extension = entry.path().extension().string();
    if (!partsOnly || extension == ".prt" || extension == ".PRT") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Tally {
  int tried = 0;
  int unreadable = 0;
  int decompiled = 0;
  std::map<std::string, std::string> refused;  // file: reason
};

// Lists, decompiles and compiles back one parts file under the name `name`
// (whose base is the parts name); the work is done in `work`, a fresh
// directory.
void RoundTrip(const fs::path& file, const std::string& name, const std::string& label,
               const fs::path& work, Tally& tally) {
  SCOPED_TRACE(label);
  ++tally.tried;
  fs::create_directories(work);
  const fs::path copy = work / name;
  fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
  if (RunPartsc(work.string(), {"--list", copy.filename().string()}).exitCode != 0) {
    ++tally.unreadable;
    return;
  }
  const ProcessResult recovered =
      RunPartsc(work.string(), {"--decompile", copy.filename().string(), "-o", "back.src"});
  if (recovered.exitCode != 0) {
    EXPECT_FALSE(fs::exists(work / "back.src"));
    tally.refused[label] = recovered.err;
    return;
  }
  const fs::path again = work / "again";
  fs::create_directory(again);
  fs::rename(work / "back.src", again / "back.src");
  WriteFile((again / "R.CTL").string(), "back.src\n");
  const ProcessResult compiled = RunPartsc(again.string(), {"-q", "--strict", "-c", "R.CTL"});
  ASSERT_EQ(compiled.exitCode, 0) << compiled.out << ReadFile((again / "back.src").string());
  const fs::path output = again / name;
  ASSERT_TRUE(fs::exists(output)) << output;
  std::vector<uint8_t> original = ReadBytes(file.string());
  std::vector<uint8_t> back = ReadBytes(output.string());
  ASSERT_EQ(original.size(), back.size());
  for (size_t i = 2; i < 12 && i < back.size(); ++i) {
    back[i] = original[i];
  }
  EXPECT_TRUE(original == back) << ReadFile((again / "back.src").string());
  ++tally.decompiled;
}

void Report(const char* what, const Tally& tally) {
  std::cout << what << ": " << tally.tried << " parts files tried, " << tally.unreadable
            << " do not read back, " << tally.decompiled << " decompiled and compiled back, "
            << tally.refused.size() << " refused\n";
  for (const auto& [file, reason] : tally.refused) {
    std::cout << "  refused " << file << ": " << reason;
  }
}

TEST(DecompileRoundTrip, ExampleLibrary) {
  TempDir dir;
  fs::copy(fs::path(PARTSC_SOURCE_DIR) / "examples", dir.path(), fs::copy_options::recursive);
  fs::create_directory(dir.File("parts"));
  ASSERT_EQ(RunPartsc(dir.path(), {"-pORVA.SET"}, "LIBRARY.CTL\n").exitCode, 0);

  Tally tally;
  for (const fs::path& file : FilesIn(dir.File("parts"), true)) {
    RoundTrip(file, file.filename().string(), "examples/" + file.filename().string(),
              dir.File("work/") + file.stem().string(), tally);
  }
  Report("example library", tally);
  // BRACKET.PRT is the part a failed compile leaves: it does not read back.
  EXPECT_EQ(tally.tried, 5);
  EXPECT_EQ(tally.unreadable, 1);
  EXPECT_EQ(tally.decompiled, 4);
  EXPECT_TRUE(tally.refused.empty());
}

// The corpus files are named by their content; each is tried under a short
// name of its own, since the name before the full stop is the parts name.
// Many are damaged files that still read back, which no source gives again:
// those are refused with a reason (and no file), never decompiled wrongly.
TEST(DecompileRoundTrip, PartsFileCorpus) {
  TempDir dir;
  Tally tally;
  const fs::path corpus = fs::path(PARTSC_SOURCE_DIR) / "fuzz/corpus/read_parts_file_fuzzer";
  const std::vector<fs::path> files = FilesIn(corpus, false);
  for (size_t i = 0; i < files.size(); ++i) {
    // Appended, not `"c" + std::to_string(i)`: g++ 12 at -O3 warns of an
    // overlapping copy there (a false positive of its -Wrestrict).
    const std::string name = std::string("c").append(std::to_string(i));
    RoundTrip(files[i], name + ".prt", files[i].filename().string(), dir.File(name), tally);
  }
  Report("parts file corpus", tally);
  EXPECT_GT(tally.decompiled, 0);
  for (const auto& [file, reason] : tally.refused) {
    EXPECT_NE(reason.find(": not recoverable: "), std::string::npos) << file;
    EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1) << file;
  }
}

TEST(DecompileRoundTrip, WhatTheSourceCorpusCompilesTo) {
  TempDir dir;
  Tally tally;
  const fs::path corpus = fs::path(PARTSC_SOURCE_DIR) / "fuzz/corpus/compile_source_fuzzer";
  for (const fs::path& source : FilesIn(corpus, false)) {
    const fs::path compiled = fs::path(dir.path()) / "compiled" / source.stem();
    fs::create_directories(compiled);
    fs::copy_file(source, compiled / "in.src");
    WriteFile((compiled / "R.CTL").string(), "in.src\n");
    RunPartsc(compiled.string(), {"-q", "-c", "R.CTL"});
    for (const fs::path& file : FilesIn(compiled, true)) {
      const std::string label = source.filename().string() + " -> " + file.filename().string();
      RoundTrip(file, file.filename().string(), label,
                fs::path(dir.path()) / "work" / source.stem() / file.stem(), tally);
    }
  }
  Report("source corpus", tally);
  EXPECT_GT(tally.decompiled, 0);
  EXPECT_TRUE(tally.refused.empty());
}

}  // namespace
}  // namespace partsc::testing
