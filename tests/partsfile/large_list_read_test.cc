// Reading member lists and size lists far longer than one read: records and
// texts that straddle the reader's chunks, cuts at every byte, and short reads
// at every point.
#include <cstdio>

#include "parts_fixture.h"
#include "partsfile/parts_file.h"

namespace partsc::testing {
namespace {

using LargeListTest = PartsFileTest;
using Bytes = std::vector<uint8_t>;

// Members whose lengths vary from record to record, so that record and text
// boundaries fall on every offset of a chunk.
Block VariedBlock(int specs, int params, int seed) {
  Block block;
  for (int i = 0; i < specs; ++i) {
    const int length = 1 + (i * 7 + seed) % 63;
    block.specs.push_back({1 + (i + seed) % 256, i % 2, std::string(length, 'a' + i % 26), i % 3});
  }
  for (int i = 0; i < params; ++i) {
    const int textLength = (i * 11 + seed) % 65;
    const int commentLength = (i * 5 + seed) % 64;
    Param param{std::string(1 + i % 6, 'A' + i % 26), std::string(textLength, '0' + i % 10),
                textLength == 0 ? 1 : 10};
    if (commentLength > 0) {
      param.comment = std::string(commentLength, 'k');
    }
    block.params.push_back(param);
  }
  return block;
}

// Three sizes with lists of about 1, 60 and 120 kB, in every sort mode.
Source LargeSource(int sortMode) {
  Source source{.sortMode = sortMode, .common = VariedBlock(3, 4, 5)};
  source.sizes = {{"ONE", "first", VariedBlock(10, 10, 1)},
                  {"TWO", "", VariedBlock(100, 400, 2)},
                  {"THREE", "third", VariedBlock(253, 508, 3)}};
  return source;
}

TEST_F(LargeListTest, LongListsReadBackAsWritten) {
  for (const int mode : {0, 1, 2}) {
    const Source source = LargeSource(mode);
    ASSERT_EQ(WriteSource(source, Path()), 0);
    int sizesRead = 0;
    EXPECT_EQ(ReadBack(Path(),
                       [&](int, const std::string& name) {
                         for (const Size& size : source.sizes) {
                           if (size.name == name) {
                             EXPECT_EQ(SizeEntries(), Dump(size.members)) << name;
                             ++sizesRead;
                           }
                         }
                       }),
              0)
        << "mode " << mode;
    EXPECT_EQ(sizesRead, 3) << "mode " << mode;
  }
}

TEST_F(LargeListTest, ACutAnywhereInALongListGives21) {
  Source source{.sizes = {{"A", "", VariedBlock(60, 100, 4)}}};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  const Bytes bytes = ReadBytes(Path());
  ASSERT_GT(bytes.size(), 2 * 4096u);
  const size_t listStart = 460 + 72;
  for (size_t length = listStart; length < bytes.size(); ++length) {
    // A new file each time: rewriting a file in place can wait for the disk.
    std::remove(Path("cut.prt").c_str());
    WriteBytes(Path("cut.prt"), Bytes(bytes.begin(), bytes.begin() + static_cast<long>(length)));
    ASSERT_EQ(ReadBack(Path("cut.prt")), kReadShort) << "length " << length;
  }
  EXPECT_EQ(ReadBack(Path()), 0);
}

TEST_F(LargeListTest, EveryShortReadGives21) {
  ASSERT_EQ(WriteSource(LargeSource(0), Path()), 0);
  OvFaults::Reset();
  ASSERT_EQ(ReadBack(Path()), 0);
  const int64_t reads = OvFaults::Count(OvFaultKind::kRead);
  for (const bool persistent : {false, true}) {
    for (int64_t n = 1; n <= reads; ++n) {
      OvFaults::Arm(OvFaultKind::kRead, n, persistent);
      EXPECT_EQ(ReadBack(Path()), kReadShort) << "read " << n << (persistent ? " on" : "");
      EXPECT_EQ(OvFaults::Injected(OvFaultKind::kRead), 1);
      OvFaults::Reset();
    }
  }
}

// The reader keeps the bytes it read last; a write to the open file, or
// another file opened, must never be answered from them.
TEST_F(LargeListTest, ReadsAfterAWriteOrAnotherOpenSeeTheNewBytes) {
  const Source first{.comment = "first"};
  ASSERT_EQ(WriteSource(first, Path("a.prt")), 0);
  ASSERT_EQ(WriteSource({.comment = "second"}, Path("b.prt")), 0);
  int32_t version = 0;
  std::string comment;
  for (const char* name : {"a.prt", "b.prt"}) {
    ASSERT_EQ(OpenPartsFile(0, Path(name)), 0);
    ASSERT_EQ(ReadHeader(), 0);
    HeaderVersion(1, version, comment);
    EXPECT_EQ(comment, name[0] == 'a' ? "first" : "second");
  }

  LoadSource(first);
  ASSERT_EQ(OpenPartsFile(1, Path("c.prt")), 0);
  ASSERT_EQ(WriteHeader(), 0);
  ASSERT_EQ(ReadHeader(), 0);
  HeaderVersion(1, version, comment);
  EXPECT_EQ(comment, "first");
  comment = "rewritten";
  HeaderVersion(0, version, comment);
  ASSERT_EQ(WriteHeader(), 0);
  ASSERT_EQ(ReadHeader(), 0);
  HeaderVersion(1, version, comment);
  EXPECT_EQ(comment, "rewritten");
}

}  // namespace
}  // namespace partsc::testing
