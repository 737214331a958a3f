// The model of a parts file: every parts file of the golden runs and of the
// example library, and a compile of more than 2048 sizes, decodes to a model
// that encodes to the same bytes and decodes again to the same model, and its
// frame and JSON document, written one list at a time, agree with it. How
// damaged files read is pinned by the damaged-file patches, through the
// listing and the decompiler.
#include <gtest/gtest.h>
#include <partsc/partsc.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_json.h"
#include "support/compile_support.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

struct NamedFile {
  std::string name;
  std::string bytes;
};

// The files of the "=== hex" sections of every golden run.
std::vector<NamedFile> GoldenFiles() {
  std::vector<NamedFile> files;
  for (const auto& entry :
       fs::directory_iterator(std::string(PARTSC_SOURCE_DIR) + "/tests/e2e/golden")) {
    std::istringstream lines(ReadFile(entry.path().string()));
    NamedFile* file = nullptr;
    std::string dump;
    for (std::string line; std::getline(lines, line);) {
      const bool section = line.starts_with("=== ") || line.starts_with("--- ");
      if (section && file != nullptr) {
        const std::vector<uint8_t> bytes = FromHex(dump);
        file->bytes.assign(bytes.begin(), bytes.end());
        file = nullptr;
      }
      if (line.starts_with("=== hex ")) {
        files.push_back({entry.path().filename().string() + ": " + line.substr(8), {}});
        file = &files.back();
        dump.clear();
      } else if (file != nullptr) {
        dump += line + "\n";
      }
    }
    if (file != nullptr) {
      const std::vector<uint8_t> bytes = FromHex(dump);
      file->bytes.assign(bytes.begin(), bytes.end());
    }
  }
  return files;
}

// A source of 2050 sizes: the 2049th repeats the name of the sixth, whose
// record then points to the later list, and the 2050th has no record; a
// spec of record 256 is written with a record byte of 0.
std::string ManySizes() {
  std::string source =
      "$$PARTS !many!\n$$SPEC <1,5>\n$$APG\n$TOP !T! \"top\"\n$$COMMON\n"
      "s <1,1>\"C\"\n$$NSORT\n";
  for (int i = 0; i < 2050; ++i) {
    const std::string name = i == 2048 ? "S5" : "S" + std::to_string(i);
    source += "$$SIZE \"" + name + "\"\np !P! (" + std::to_string(i) + ")\n";
  }
  return source + "$$SIZE \"R\"\ns [256] <2,0>\"R\"\n$$END\n";
}

// The parts files the example library and ManySizes compile to; a source
// with mistakes leaves its file as far as the compile wrote it.
std::vector<NamedFile> CompiledFiles() {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  TempDir dir;
  std::vector<std::string> inputs;
  for (const auto& entry :
       fs::directory_iterator(std::string(PARTSC_SOURCE_DIR) + "/examples/src")) {
    inputs.push_back(entry.path().string());
  }
  WriteFile(dir.File("many.src"), ManySizes());
  inputs.push_back(dir.File("many.src"));
  std::vector<NamedFile> files;
  for (const std::string& input : inputs) {
    Compiler compiler(dir.path());
    std::string output;
    compiler.Compile(input, output);
    EXPECT_TRUE(FileExists(output)) << input;
    files.push_back({input, ReadFile(output)});
  }
  return files;
}

// The frame of a file is its model without the sizes' lists, and the
// document written from the frame and the file is the model's document.
void ExpectFrameAndItsDocument(const PartsModel& model, const std::string& bytes) {
  PartsModel withoutLists = model;
  for (PartsSize& size : withoutLists.sizes) {
    size.members = {};
  }
  const PartsModel frame = DecodePartsFrame(bytes);
  EXPECT_EQ(frame, withoutLists);
  std::string text;
  WritePartsFileJson(frame, bytes, [&text](std::string_view piece) { text += piece; });
  EXPECT_EQ(text, ModelToJson(model));
  EXPECT_EQ(text, Json::parse(text).dump());
}

TEST(PartsModel, EveryPartsFileOfTheGoldensAndTheExamplesIsItsModelEncoded) {
  int checked = 0;
  std::vector<NamedFile> files = GoldenFiles();
  for (NamedFile& file : CompiledFiles()) {
    files.push_back(std::move(file));
  }
  for (const NamedFile& file : files) {
    SCOPED_TRACE(file.name);
    const PartsModel model = DecodePartsFile(file.bytes);
    ExpectFrameAndItsDocument(model, file.bytes);
    const bool partsFile =
        file.name.ends_with(".prt") || file.name.ends_with(".PRT") || file.name.ends_with(".src");
    if (!partsFile && !model.read.Whole()) {
      continue;  // a backup that holds no parts file
    }
    const EncodedModel encoded = EncodeModel(model);
    ASSERT_FALSE(encoded.problem) << encoded.problem->rule;
    EXPECT_EQ(encoded.bytes, file.bytes);
    EXPECT_EQ(DecodePartsFile(encoded.bytes), model);
    ++checked;
  }
  EXPECT_GE(checked, 60);
}

TEST(PartsModel, ListsNoRecordPointsToAndAWholeRecordAreKept) {
  const std::vector<NamedFile> files = CompiledFiles();
  PartsModel model = DecodePartsFile(files.back().bytes);
  ASSERT_TRUE(model.read.Whole());
  ASSERT_EQ(model.sizes.size(), 2048u);
  ASSERT_EQ(model.unlisted.size(), 3u);  // S5's first list, the 2050th and R
  EXPECT_EQ(model.unlisted[0].members.params.at(0).text, "5");
  EXPECT_EQ(model.unlisted[1].members.params.at(0).text, "2049");
  const SpecEntry whole = model.unlisted[2].members.specs.at(0);
  EXPECT_EQ(whole.record, 256);
  EXPECT_EQ(whole.invertedFlag, 1);
  EXPECT_EQ(model.sizes[5].members.params.at(0).text, "2048");

  // An entry that grows moves the lists after it.
  model.sizes[0].members.params[0].text = "a longer text";
  EncodedModel encoded = EncodeModel(model);
  EXPECT_EQ(encoded.bytes, "");
  EXPECT_EQ(encoded.problem, (ModelProblem{"/sizes/1/member_offset",
                                           "is 148170, but the list there overlaps what "
                                           "ends at 148182: the member lists lie end to end"}));
  PlaceMemberLists(model);
  encoded = EncodeModel(model);
  ASSERT_FALSE(encoded.problem);
  EXPECT_EQ(encoded.bytes.size(), files.back().bytes.size() + 12);
  EXPECT_EQ(DecodePartsFile(encoded.bytes), model);

  // A list without a place goes after every list that has one.
  model.unlisted.insert(model.unlisted.begin(), UnlistedList{0, model.unlisted[0].members});
  PlaceMemberLists(model);
  EXPECT_EQ(model.unlisted[0].offset, encoded.bytes.size());
  EXPECT_FALSE(EncodeModel(model).problem);
}

}  // namespace
}  // namespace partsc::testing
