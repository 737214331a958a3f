// The library's parts files: a compile's model is the model of the file
// partsc writes, a model is written back byte for byte (with the backup of an
// older file), and its listing is the run log's.
#include <partsc/partsc.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kSource =
    "$$PARTS !bolt! <1,2> \"Hex bolts\"\n$$APG\n$TOP !T! \"top\"\n$$COMMON\ns <3,1>\"C\"\n"
    "$$SIZE \"M4\" !small!\np !D! (4) <0,1> \"d\"\n$$SIZE \"M10\"\ns [7] <2,0>\"S\"\n$$END\n";

class PartsApi : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    WriteFile(dir_.File("bolt.src"), kSource);
    WriteFile(dir_.File("RUN.CTL"), "bolt.src\n");
    ASSERT_EQ(RunPartsc(dir_.path(), {"-q", "-c", "RUN.CTL"}).exitCode, 0);
  }

  TempDir dir_;
};

TEST_F(PartsApi, ReadsWritesAndListsAsPartscDoes) {
  const std::string path = dir_.File("bolt.prt");
  const api::CompileResult compiled = api::CompileFile(dir_.File("bolt.src"));
  const api::ReadResult read = api::ReadPartsFile(path);
  ASSERT_EQ(read.code, 0);
  EXPECT_EQ(read.model, compiled.model);
  ASSERT_EQ(read.model.sizes.size(), 2u);
  EXPECT_EQ(read.model.sizes[0].record.name.View(), "M4");
  EXPECT_EQ(read.model.sizes[1].members.specs.at(0).record, 7);

  const api::Listing listing = api::ListModel(read.model, path);
  EXPECT_EQ(listing.code, 0);
  EXPECT_EQ(listing.text, ReadFile(dir_.File("TALVIREN.LOG")));

  const std::string bytes = ReadFile(path);
  EXPECT_EQ(api::EncodePartsFile(read.model), bytes);
  const api::WriteResult written = api::WritePartsFile(read.model, path);
  EXPECT_TRUE(written.Written()) << written.reason;
  EXPECT_EQ(ReadFile(path), bytes);
  EXPECT_EQ(ReadFile(path + ".old"), bytes);

  EXPECT_EQ(api::ReadPartsFile(dir_.File("none.prt")).code, kPartsNoFile);
}

TEST_F(PartsApi, AChangedModelIsLaidOutAgainAndADamagedOneSaysWhereItStopped) {
  const std::string path = dir_.File("bolt.prt");
  PartsModel model = api::ReadPartsFile(path).model;
  model.sizes[0].members.params[0].text = "4.5";
  EXPECT_THROW(api::WritePartsFile(model, path), std::invalid_argument);
  EXPECT_FALSE(FileExists(path + ".old"));
  api::PlaceMemberLists(model);
  EXPECT_EQ(api::DecodePartsFile(api::EncodePartsFile(model)), model);

  const std::string bytes = ReadFile(path);
  const PartsModel cut = api::DecodePartsFile(bytes.substr(0, bytes.size() - 1));
  EXPECT_EQ(cut.read.part, PartsPart::kSizeMembers);
  EXPECT_EQ(cut.read.result, kReadShort);
  const api::Listing listing = api::ListModel(cut, path);
  EXPECT_EQ(listing.code, 7);
  EXPECT_EQ(listing.reason, "truncated size member list");
  EXPECT_TRUE(ReadFile(dir_.File("TALVIREN.LOG")).starts_with(listing.text));
}

}  // namespace
}  // namespace partsc::testing
