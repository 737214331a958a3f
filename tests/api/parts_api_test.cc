// The library's parts files: a compile's model is the model of the file
// partsc writes, a model is written back byte for byte (with the backup of an
// older file), and its listing is the run log's.
#include <partsc/partsc.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  const CompileResult compiled = CompileFile(dir_.File("bolt.src"));
  const ReadResult read = ReadPartsFile(path);
  ASSERT_EQ(read.status, ReadStatus::kOk);
  EXPECT_EQ(read.model, compiled.model);
  ASSERT_EQ(read.model.sizes.size(), 2u);
  EXPECT_EQ(read.model.sizes[0].record.name.View(), "M4");
  EXPECT_EQ(read.model.sizes[1].members.specs.at(0).record, 7);

  const Listing listing = ListModel(read.model, path);
  EXPECT_EQ(listing.status, ListStatus::kListed);
  EXPECT_EQ(listing.text, ReadFile(dir_.File("TALVIREN.LOG")));

  const std::string bytes = ReadFile(path);
  EXPECT_EQ(EncodePartsFile(read.model).bytes, bytes);
  const WriteResult written = WritePartsFile(read.model, path);
  EXPECT_TRUE(written.Written()) << written.reason;
  EXPECT_EQ(ReadFile(path), bytes);
  EXPECT_EQ(ReadFile(path + ".old"), bytes);

  const ReadResult none = ReadPartsFile(dir_.File("none.prt"));
  EXPECT_EQ(none.status, ReadStatus::kNoFile);
  EXPECT_EQ(none.reason, "No such file or directory");
  const ReadResult directory = ReadPartsFile(dir_.path());
  EXPECT_EQ(directory.status, ReadStatus::kOpenFailed);
  EXPECT_EQ(directory.reason, "Is a directory");
}

TEST_F(PartsApi, AChangedModelIsLaidOutAgainAndADamagedOneSaysWhereItStopped) {
  const std::string path = dir_.File("bolt.prt");
  PartsModel model = ReadPartsFile(path).model;
  model.sizes[0].members.params[0].text = "4.5";
  EXPECT_EQ(WritePartsFile(model, path).status, WriteStatus::kRefused);
  EXPECT_FALSE(FileExists(path + ".old"));
  PlaceMemberLists(model);
  EXPECT_EQ(DecodePartsFile(EncodePartsFile(model).bytes), model);
  EXPECT_TRUE(WritePartsFile(model, path).Written());

  const std::string bytes = ReadFile(path);
  const PartsModel cut = DecodePartsFile(bytes.substr(0, bytes.size() - 1));
  EXPECT_EQ(cut.read.part, PartsPart::kSizeMembers);
  EXPECT_EQ(cut.read.result, ReadStatus::kShort);
  const Listing listing = ListModel(cut, path);
  EXPECT_EQ(listing.status, ListStatus::kSizeMembersUnread);
  EXPECT_EQ(listing.reason, "truncated size member list");
}

// Each edit breaks one rule: the model is neither encoded nor written, the
// first problem names the field (and where told, the rule), and the file and
// its backup stay.
TEST_F(PartsApi, AModelThatBreaksTheRuleIsRefusedNamingTheField) {
  const std::string path = dir_.File("bolt.prt");
  ASSERT_TRUE(WritePartsFile(ReadPartsFile(path).model, path).Written());
  const std::string file = ReadFile(path);
  const std::string backup = ReadFile(path + ".old");
  using Edit = void (*)(PartsModel&);
  const std::vector<std::pair<std::string, Edit>> edits = {
      {"/header/size_count ", [](PartsModel& m) { m.sizes.push_back(m.sizes[1]); }},
      {"/sizes/2/member_offset is 0: the size has no member list",
       [](PartsModel& m) {
         m.sizes.push_back(m.sizes[1]);
         ASSERT_TRUE(m.sizes[2].record.name.Assign("M12"));
         m.sizes[2].record.memberOffset = 0;
         m.header.sizeCount = 3;
       }},
      {"/sizes/1/name ", [](PartsModel& m) { std::swap(m.sizes[0], m.sizes[1]); }},
      {"/sizes/1/name ", [](PartsModel& m) { m.sizes[1].record.name = m.sizes[0].record.name; }},
      {"/views ", [](PartsModel& m) { m.apgNames[0].Clear(); }},
      {"/views/2/name ", [](PartsModel& m) { m.apgNames[2] = m.apgNames[0]; }},
      {"/header/apg_comment_count ", [](PartsModel& m) { m.header.apgCommentCount = 2; }},
      {"/sizes/0/members/0/name ", [](PartsModel& m) { m.sizes[0].members.params[0].name = ""; }},
      {"/sizes/0/members/0/name ",
       [](PartsModel& m) { m.sizes[0].members.params[0].name = "LENGTHS"; }},
      {"/sizes/0/members/0/text ",
       [](PartsModel& m) { m.sizes[0].members.params[0].text = std::string(300, 'x'); }},
      {"/sizes/0/members/0/pair_code ",
       [](PartsModel& m) { m.sizes[0].members.params[0].pairCode = 5; }},
      {"/sizes/1/members/0/number ",
       [](PartsModel& m) { m.sizes[1].members.specs[0].number = 300; }},
      {"/sizes/1/members/0/number ", [](PartsModel& m) { m.sizes[1].members.specs[0].number = 0; }},
      {"/header/sort_mode ", [](PartsModel& m) { m.header.sortMode = 3; }},
      // No source gives these back.
      {"/sizes/0/members/0/text ",
       [](PartsModel& m) {
         m.sizes[0].members.params[0].text = "4)";
         PlaceMemberLists(m);
       }},
      {"/sizes/1/title ",
       [](PartsModel& m) { ASSERT_TRUE(m.sizes[1].record.title.Assign("a!b")); }},
  };
  for (const auto& [problem, edit] : edits) {
    SCOPED_TRACE(problem);
    PartsModel model = ReadPartsFile(path).model;
    edit(model);
    const WriteResult written = WritePartsFile(model, path);
    EXPECT_EQ(written.status, WriteStatus::kRefused);
    ASSERT_FALSE(written.problems.empty());
    const ModelProblem& first = written.problems[0];
    EXPECT_TRUE((first.pointer + " " + first.rule).starts_with(problem)) << written.reason;
    const EncodeResult encoded = EncodePartsFile(model);
    EXPECT_EQ(encoded.bytes, "");
    EXPECT_EQ(encoded.problems, written.problems);
    EXPECT_EQ(ReadFile(path), file);
    EXPECT_EQ(ReadFile(path + ".old"), backup);
  }
  // Without a full stop the file name gives no parts name.
  EXPECT_EQ(Validate(ReadPartsFile(path).model, dir_.File("bolt"))[0].pointer, "/");
}

}  // namespace
}  // namespace partsc::testing
