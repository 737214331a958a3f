// Damaged parts files: the patches of damage_patches.txt applied to good
// parts files, each listed and decompiled. Each must give the listing code of
// the step that reads the damaged part and the reader's result behind it,
// leave the run log as that step found it, and give the decompiler's reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "decompiler/decompile.h"
#include "listing/listing.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "support/compile_support.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// The good parts file compiled from `source`.
Bytes Compile(const std::string& source) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  TempDir dir;
  WriteFile(dir.File("base.src"), source);
  std::string outputPath;
  Compiler compiler(dir.path());
  EXPECT_EQ(compiler.Compile(dir.File("base.src"), outputPath), CompileStatus::kOk) << source;
  return ReadBytes(outputPath);
}

struct Listed {
  int code = -1;
  int readResult = -1;
  std::vector<std::string> lines;  // of the run log
  std::string reason;              // of the decompiler; "ok" for a source
};

// Lists and decompiles `bytes` written as `name` in `dir`; no file at all
// when null.
Listed ListAndDecompile(const Bytes* bytes, const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  std::remove(path.c_str());
  if (bytes != nullptr) {
    WriteBytes(path, *bytes);
  }
  Listed listed;
  OvFileIO runLog;
  runLog.Fopen(dir.File("run.log"), "w");
  Compiler lister(dir.path());
  const ListResult result = lister.List(path, runLog);
  listed.code = static_cast<int>(result.step);
  listed.readResult = static_cast<int>(result.read);
  runLog.Fclose();
  std::istringstream lines(ReadFile(dir.File("run.log")));
  for (std::string line; std::getline(lines, line);) {
    listed.lines.push_back(line);
  }
  const Decompiled decompiled = DecompilePartsFile(path);
  listed.reason = decompiled.Ok() ? "ok" : decompiled.reason;
  return listed;
}

uint32_t Number(const std::string& text) {
  return static_cast<uint32_t>(std::stoll(text, nullptr, 0));
}

// Applies one patch; answers false for a patch it does not know. `name` and
// `exists` take the file's name and whether there is a file at all.
bool Apply(const std::string& patch, Bytes& b, std::string& name, bool& exists) {
  std::istringstream in(patch);
  std::string op, a, c, d;
  in >> op >> a >> c >> d;
  if (op == "u16" || op == "u32") {
    for (size_t i = 0; i < (op == "u16" ? 2u : 4u); ++i) {
      b.at(Number(a) + i) = static_cast<uint8_t>(Number(c) >> (8 * i));
    }
  } else if (op == "byte") {
    b.at(Number(a)) = static_cast<uint8_t>(Number(c));
  } else if (op == "cut" || op == "grow" || op == "drop") {
    b.resize(op == "cut" ? Number(a) : op == "grow" ? b.size() + Number(a) : b.size() - Number(a));
  } else if (op == "swap") {
    std::swap_ranges(b.begin() + Number(a), b.begin() + Number(a) + Number(d),
                     b.begin() + Number(c));
  } else if (op == "copy") {
    const Bytes record(b.begin() + Number(a), b.begin() + Number(a) + Number(c));
    for (uint32_t i = 0; i < Number(d); ++i) {
      b.insert(b.begin() + Number(a), record.begin(), record.end());
    }
  } else if (op == "name") {
    name = a;
  } else if (op == "nofile") {
    exists = false;
  } else {
    return op == "none";
  }
  return true;
}

struct Case {
  int line;
  std::string base, patches, expected;
};

TEST(DamagedFiles, EachPatchGivesTheResultOfTheStepThatReadsIt) {
  std::istringstream data(
      ReadFile(std::string(PARTSC_SOURCE_DIR) + "/tests/faults/damage_patches.txt"));
  std::map<std::string, Bytes> bases;
  std::vector<Case> cases;
  std::string line, base, source;
  for (int number = 1; std::getline(data, line); ++number) {
    if (!base.empty()) {
      if (line == "end") {
        bases[base] = Compile(source);
        base.clear();
      } else {
        source += line + "\n";
      }
    } else if (line.starts_with("base ")) {
      base = line.substr(5);
      source.clear();
    } else if (!line.empty() && line[0] != '#') {
      const size_t colon = line.find(':');
      const size_t arrow = line.find(" => ");
      ASSERT_TRUE(colon < arrow && arrow != std::string::npos) << "line " << number;
      cases.push_back({number, line.substr(0, colon), line.substr(colon + 1, arrow - colon - 1),
                       line.substr(arrow + 4)});
    }
  }
  int files = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("damage_patches.txt:" + std::to_string(c.line));
    ASSERT_EQ(bases.count(c.base), 1u);
    // "cut FROM-TO" stands for every length from FROM to TO.
    const size_t range = c.patches.find("cut ") + 4;
    const size_t dash = c.patches.find('-', range);
    uint32_t from = 0;
    uint32_t to = 0;
    if (range != 3 && dash != std::string::npos) {
      from = Number(c.patches.substr(range, dash - range));
      to = Number(c.patches.substr(dash + 1));
    }
    const TempDir dir;
    std::optional<Listed> good;
    for (uint32_t length = from; length <= to; ++length) {
      std::string patches = c.patches;
      if (to != 0) {
        patches.replace(range, std::string::npos, std::to_string(length));
      }
      Bytes bytes = bases[c.base];
      std::string name = "damaged.prt";
      bool exists = true;
      std::istringstream each(patches);
      for (std::string patch; std::getline(each, patch, ';');) {
        ASSERT_TRUE(Apply(patch, bytes, name, exists)) << patch;
      }
      if (!good) {
        good = ListAndDecompile(&bases[c.base], dir, name);
      }
      const Listed listed = ListAndDecompile(exists ? &bytes : nullptr, dir, name);
      std::ostringstream got;
      got << listed.code << " " << listed.readResult << " ";
      size_t lines = 0;
      while (lines < listed.lines.size() && lines < good->lines.size() &&
             listed.lines[lines] == good->lines[lines]) {
        ++lines;
      }
      const bool anyLines = c.expected.find(" * | ") != std::string::npos;
      if (anyLines) {
        got << "*";
      } else if (lines < listed.lines.size()) {
        got << "line " << lines << " differs: " << listed.lines[lines];
      } else {
        got << lines;
      }
      got << " | " << listed.reason;
      EXPECT_EQ(got.str(), c.expected) << "length " << bytes.size();
      ++files;
    }
  }
  std::printf("[ faults   ] damaged files: %d from %zu patches\n", files, cases.size());
}

}  // namespace
}  // namespace partsc::testing
