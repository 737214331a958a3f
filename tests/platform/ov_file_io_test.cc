#include "platform/ov_file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ov_faults.h"
#include "platform/ov_memory.h"
#include "platform/ov_util.h"
#include "support/test_support.h"

namespace partsc {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Pieces(const std::string& path, int size) {
  OvFileIO file;
  EXPECT_TRUE(file.Fopen(path, "r"));
  std::vector<std::string> pieces;
  std::string line = "stale";
  while (file.Fgets(line, size)) {
    pieces.push_back(line);
  }
  EXPECT_EQ(line, "");
  return pieces;
}

TEST(FgetsTest, DeliversPiecesAsCFgets) {
  struct Case {
    std::string content;
    int size;
    std::vector<std::string> pieces;
  };
  const std::string c100(100, 'c');
  const std::string c79(79, 'c');
  const std::string big(5000, 'b');
  const std::vector<Case> cases = {
      {"", 80, {}},
      {c100 + "\n", 80, {c79, std::string(21, 'c') + "\n"}},
      {c79 + "\nnext\n", 80, {c79, "\n", "next\n"}},
      {"a\r\nlast", 80, {"a\r\n", "last"}},
      {std::string("ab\0cd\nef\n", 9), 80, {"ab", "ef\n"}},
      {"\n\n", 80, {"\n", "\n"}},
      {big + "\n", 4097, {big.substr(0, 4096), std::string(904, 'b') + "\n"}},
      {"xyz", 2, {"x", "y", "z"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    WriteFile(dir.File("t"), c.content);
    EXPECT_EQ(Pieces(dir.File("t"), c.size), c.pieces) << c.content.substr(0, 20);
  }
}

// A text file of exactly the read limit is read to its end; grown past it
// while open, it is read no further; one larger is refused when it is opened.
TEST(FgetsTest, ReadsAFileOfTheLimitAndRefusesOneByteMore) {
  TempDir dir;
  const std::string line = std::string(4095, 'x') + "\n";
  {
    std::ofstream out(dir.File("t"), std::ios::binary);
    for (int64_t at = 0; at < kTextReadLimit; at += static_cast<int64_t>(line.size())) {
      out << line;
    }
  }
  OvFileIO file;
  ASSERT_TRUE(file.Fopen(dir.File("t"), "r"));
  for (const int error : {0, kRefusedTooLarge}) {
    int64_t read = 0;
    std::string piece;
    while (file.Fgets(piece, 4097)) {
      read += static_cast<int64_t>(piece.size());
    }
    EXPECT_EQ(read, kTextReadLimit);
    EXPECT_EQ(file.Error(), error);
    ASSERT_EQ(file.Fseek(0, kSeekStart), 0);
    std::ofstream(dir.File("t"), std::ios::binary | std::ios::app) << "grown\n";
  }
  file.Close();
  EXPECT_FALSE(file.Fopen(dir.File("t"), "r"));
  EXPECT_EQ(file.Error(), kRefusedTooLarge);
}

TEST(TextFileTest, WriteAppendSeekAndClose) {
  TempDir dir;
  const std::string path = dir.File("log");
  OvFileIO file;
  file.Fclose();  // harmless when closed
  EXPECT_FALSE(file.Fopen(dir.File("missing"), "r"));
  EXPECT_FALSE(file.Fopen(path, "r+"));
  ASSERT_TRUE(file.Fopen(path, "w"));
  file.Fprintf("%s %d%%\r\n", "100", 5);
  ASSERT_TRUE(file.Fopen(path, "a"));  // closes (and flushes) the first
  file.Fprintf("more\n");
  ASSERT_TRUE(file.Fopen(path, "r"));
  std::string line;
  ASSERT_TRUE(file.Fgets(line, 80) && file.Fgets(line, 80) && file.Fseek(0, kSeekStart) == 0);
  ASSERT_TRUE(file.Fgets(line, 80));
  EXPECT_EQ(line, "100 5%\r\n");
  file.Fclose();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFile(path), "100 5%\r\nmore\n");
}

TEST(BinaryFileTest, OpenSeekReadWrite) {
  TempDir dir;
  const std::string path = dir.File("b.prt");
  OvFileIO file;
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, 4), -1) << "closed";
  EXPECT_EQ(file.Write("abcd", 4), -1) << "closed";
  EXPECT_FALSE(file.Open(path, 32768, 438)) << "read-only does not create";

  WriteFile(path, "old content");
  ASSERT_TRUE(file.Open(path, 33538, 438));  // read-write, create, truncate
  EXPECT_EQ(file.Lseek(0, kSeekEnd), 0) << "truncated";
  EXPECT_EQ(file.Write("0123456789", 10), 10);
  EXPECT_EQ(file.Lseek(2, kSeekStart), 2);
  EXPECT_EQ(file.Write("AB", 2), 2);
  EXPECT_EQ(file.Lseek(3, kSeekCurrent), 7);
  EXPECT_EQ(file.Lseek(-1, kSeekStart), -1);
  ASSERT_TRUE(file.Open(path, 32768, 438));  // closes the first
  EXPECT_EQ(file.Lseek(6, kSeekStart), 6);
  EXPECT_EQ(file.Read(buffer, 8), 4) << "short at end of file";
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(file.Read(buffer, 8), 0);
  EXPECT_EQ(file.Write("x", 1), -1) << "opened read-only";

  EXPECT_FALSE(file.Open(path, kOpenWriteOnly | kOpenCreate | kOpenExclusive, 438));
  ASSERT_TRUE(file.Open(path, kOpenWriteOnly | kOpenAppend, 438));
  EXPECT_EQ(file.Write("!", 1), 1);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFile(path), "01AB456789!");
  EXPECT_FALSE(file.Open(path, 0x0003, 438)) << "no such access mode";
}

// A write that moves some bytes and then fails answers the bytes it moved
// (here one: the file may grow by one byte, SIGXFSZ ignored), never -1, and
// keeps the reason of the call that failed.
TEST(BinaryFileTest, AWriteCutShortAnswersTheBytesItMoved) {
  TempDir dir;
  const std::string path = dir.File("b.prt");
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const rlimit fileSize{1, 1};
    OvFileIO file;
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &fileSize) != 0 ||
        !file.Open(path, kOpenPartsWrite, kOpenPermission)) {
      _exit(200);
    }
    const bool cut = file.Write("abcd", 4) == 1 && file.Error() == EFBIG;
    _exit(cut && file.Write("cd", 2) == -1 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(path), "a");
}

TEST(BinaryFileTest, ADirectoryIsNotAFile) {
  TempDir dir;
  OvFileIO file;
  EXPECT_FALSE(file.Open(dir.path(), kOpenPartsRead, kOpenPermission));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Fopen(dir.path(), "r"));
  EXPECT_FALSE(file.IsOpen());
}

// A unique file is made beside its stem, or not at all: a directory that
// does not exist gives no file and the reason.
TEST(BinaryFileTest, OpenUniqueMakesANewFileOrSaysWhyNot) {
  TempDir dir;
  OvFileIO file;
  const std::optional<std::string> made = file.OpenUnique(dir.File(".a.prt.new-"));
  ASSERT_TRUE(made);
  EXPECT_TRUE(made->starts_with(dir.File(".a.prt.new-"))) << *made;
  EXPECT_EQ(file.Write("x", 1), 1);
  file.Close();
  EXPECT_EQ(ReadFile(*made), "x");
  EXPECT_FALSE(file.OpenUnique(dir.File("gone/.a.prt.new-")));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Error(), ENOENT);
}

class SeamTest : public ::testing::Test {
 protected:
  void SetUp() override { OvFaults::Reset(); }
  void TearDown() override { OvFaults::Reset(); }
};

TEST_F(SeamTest, TheNthAllocationFailsOnceOrPersistently) {
  OvFaults::Arm(OvFaultKind::kAllocation, 2, false);
  std::string out = "before";
  EXPECT_TRUE(OvCopyText(out, "one"));
  EXPECT_FALSE(OvCopyText(out, "two"));
  EXPECT_EQ(out, "one");
  EXPECT_NE(OvNew<int>(3), nullptr);
  EXPECT_EQ(OvFaults::Count(OvFaultKind::kAllocation), 3);

  OvFaults::Arm(OvFaultKind::kAllocation, 2, true);
  EXPECT_NE(OvNew<int>(1), nullptr);
  EXPECT_EQ(OvNew<int>(2), nullptr);
  EXPECT_FALSE(OvCopyText(out, "three"));
  EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), 3);

  OvFaults::Arm(OvFaultKind::kAllocation, 0, true);
  EXPECT_NE(OvNew<int>(4), nullptr);
  EXPECT_EQ(OvFaults::Count(OvFaultKind::kRead), 0) << "kinds are counted apart";
  OvFaults::Reset();
  EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), 0);
}

}  // namespace
}  // namespace partsc
