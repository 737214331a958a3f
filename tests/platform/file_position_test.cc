// Binary files keep track of where they stand, so that a seek to the current
// position needs no system call: every read, write and seek must still act
// at the very position a plain descriptor would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/ov_faults.h"
#include "platform/ov_file_io.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

class FilePositionTest : public ::testing::Test {
 protected:
  void SetUp() override { OvFaults::Reset(); }
  void TearDown() override { OvFaults::Reset(); }
  TempDir dir_;
};

// Random reads, writes and seeks of every origin, some reads and writes cut
// short through the test seam, against a model of the file's bytes and
// position.
TEST_F(FilePositionTest, EveryTransferActsWhereTheModelStands) {
  OvFileIO file;
  ASSERT_TRUE(file.Open(dir_.File("f.bin"), kOpenPartsWrite, kOpenPermission));
  std::string model;
  int64_t at = 0;
  int64_t before = 0;  // the position before the last read or write
  uint32_t state = 7;
  auto below = [&state](uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % bound);
  };
  for (int step = 0; step < 3000; ++step) {
    const std::string where = "step " + std::to_string(step);
    switch (below(5)) {
      case 0: {  // a seek from the start: to where the file stands, to where it
                 // stood before the last transfer, or anywhere
        const int choice = below(3);
        const int64_t target = choice == 0 ? at : choice == 1 ? before : below(300);
        ASSERT_EQ(file.Lseek(target, kSeekStart), target) << where;
        at = target;
        break;
      }
      case 1: {
        const int move = below(20);
        ASSERT_EQ(file.Lseek(move, kSeekCurrent), at + move) << where;
        at += move;
        break;
      }
      case 2: {
        const int64_t back = std::min<int64_t>(below(10), static_cast<int64_t>(model.size()));
        const int64_t target = static_cast<int64_t>(model.size()) - back;
        ASSERT_EQ(file.Lseek(-back, kSeekEnd), target) << where;
        at = target;
        break;
      }
      case 3: {
        const size_t length = static_cast<size_t>(1 + below(40));
        const std::string bytes(length, static_cast<char>('a' + below(26)));
        if (below(8) == 0) {
          OvFaults::Arm(OvFaultKind::kWrite, 1, false);
        }
        const int put = file.Write(bytes.data(), static_cast<int>(bytes.size()));
        OvFaults::Reset();
        ASSERT_GE(put, 0) << where;
        if (put > 0) {
          // Bytes written past the end leave a gap of zero bytes before them.
          if (model.size() < static_cast<size_t>(at)) {
            model.resize(static_cast<size_t>(at), '\0');
          }
          model.replace(static_cast<size_t>(at), static_cast<size_t>(put), bytes, 0,
                        static_cast<size_t>(put));
        }
        before = at;
        at += put;
        break;
      }
      default: {
        char bytes[64];
        const int asked = 1 + below(60);
        if (below(8) == 0) {
          OvFaults::Arm(OvFaultKind::kRead, 1, false);
        }
        const int got = file.Read(bytes, asked);
        OvFaults::Reset();
        const std::string expected =
            static_cast<size_t>(at) < model.size() ? model.substr(static_cast<size_t>(at)) : "";
        ASSERT_GE(got, 0) << where;
        ASSERT_EQ(std::string(bytes, static_cast<size_t>(got)),
                  expected.substr(0, static_cast<size_t>(got)))
            << where;
        before = at;
        at += got;
        break;
      }
    }
  }
  file.Close();
  EXPECT_EQ(ReadFile(dir_.File("f.bin")), model);
}

TEST_F(FilePositionTest, AnAppendingFileIsSoughtForReal) {
  WriteFile(dir_.File("a.bin"), "xyz");
  OvFileIO file;
  ASSERT_TRUE(file.Open(dir_.File("a.bin"), kOpenReadWrite | kOpenAppend, kOpenPermission));
  ASSERT_EQ(file.Write("ab", 2), 2);
  ASSERT_EQ(file.Lseek(2, kSeekStart), 2);
  char bytes[8] = {};
  ASSERT_EQ(file.Read(bytes, 8), 3);
  EXPECT_EQ(std::string(bytes, 3), "zab");
}

TEST_F(FilePositionTest, AReopenedFileStandsAtItsStart) {
  WriteFile(dir_.File("r.bin"), "0123456789");
  OvFileIO file;
  ASSERT_TRUE(file.Open(dir_.File("r.bin"), kOpenPartsRead, kOpenPermission));
  char bytes[4] = {};
  ASSERT_EQ(file.Read(bytes, 4), 4);
  ASSERT_TRUE(file.Open(dir_.File("r.bin"), kOpenPartsRead, kOpenPermission));
  ASSERT_EQ(file.Lseek(4, kSeekStart), 4);
  ASSERT_EQ(file.Read(bytes, 2), 2);
  EXPECT_EQ(std::string(bytes, 2), "45");
  ASSERT_EQ(file.Lseek(0, kSeekStart), 0);
  ASSERT_EQ(file.Read(bytes, 2), 2);
  EXPECT_EQ(std::string(bytes, 2), "01");
}

}  // namespace
}  // namespace partsc::testing
