#include "platform/ov_file_bytes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "platform/ov_file_io.h"
#include "support/test_support.h"

namespace partsc {
namespace {

using testing::TempDir;
using testing::WriteFile;

// A mapped file that another process cuts short reads as zeros past its new
// end, and says so, instead of ending the process with SIGBUS. Its memory
// is let go with it; a second file takes the record the first left.
TEST(FileBytesTest, AFileCutShortWhileMappedReadsAsZerosAndSaysSo) {
  OvFileBytes::InstallGuard();
  TempDir dir;
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::string text(static_cast<size_t>(page) * 3, 'x');
  WriteFile(dir.File("source"), text);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    OvFileBytes bytes;
    ASSERT_TRUE(OvFileIO::ReadText(dir.File("source"), text.size(), bytes).Ok());
    ASSERT_EQ(bytes.View(), text);
    EXPECT_FALSE(bytes.Cut());
    ASSERT_EQ(::truncate(dir.File("source").c_str(), page), 0);
    const std::string_view view = bytes.View();
    EXPECT_EQ(view.size(), text.size());
    EXPECT_EQ(view.substr(0, static_cast<size_t>(page)), text.substr(0, static_cast<size_t>(page)));
    EXPECT_EQ(view.substr(static_cast<size_t>(page)),
              std::string(static_cast<size_t>(page) * 2, '\0'));
    EXPECT_TRUE(bytes.Cut());
    WriteFile(dir.File("source"), text);
  }
}

// A SIGBUS past the end of a guarded mapping, here in a mapping of its own
// just above it, is not the guard's: it ends the process as it would
// without the guard.
TEST(FileBytesDeathTest, ABusErrorOutsideTheGuardedFilesIsNotCaught) {
  OvFileBytes::InstallGuard();
  TempDir dir;
  const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  WriteFile(dir.File("guarded"), std::string(page * 2, 'g'));
  WriteFile(dir.File("other"), std::string(page * 2, 'o'));
  const int fd = ::open(dir.File("other").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  void* other = ::mmap(nullptr, page * 2, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  ASSERT_NE(other, MAP_FAILED);
  OvFileBytes bytes;
  ASSERT_TRUE(OvFileIO::ReadText(dir.File("guarded"), page * 2, bytes).Ok());
  if (static_cast<const void*>(bytes.View().data()) >= other) {
    GTEST_SKIP() << "the guarded mapping does not lie below the other";
  }
  ASSERT_EQ(::truncate(dir.File("other").c_str(), 0), 0);
  EXPECT_DEATH(static_cast<void>(*static_cast<volatile const char*>(other)), "");
  EXPECT_EQ(bytes.View()[0], 'g');
  ::munmap(other, page * 2);
}

// A file that cannot be mapped (empty, or open for writing only) is read
// into the room kept from the file before; a failed read leaves nothing.
TEST(FileBytesTest, WhatIsNotMappedIsReadIntoTheRoomKept) {
  OvFileBytes::InstallGuard();
  TempDir dir;
  WriteFile(dir.File("empty"), "");
  OvFileBytes bytes;
  ASSERT_TRUE(OvFileIO::ReadText(dir.File("empty"), 10, bytes).Ok());
  EXPECT_EQ(bytes.Size(), 0u);
  EXPECT_FALSE(bytes.Cut());
  const OvTextResult directory = OvFileIO::ReadText(dir.path(), 10, bytes);
  EXPECT_EQ(directory.status, OvTextRead::kNotRegular);
  EXPECT_EQ(directory.reason, "Is a directory");
  const OvTextResult none = OvFileIO::ReadText(dir.File("none"), 10, bytes);
  EXPECT_EQ(none.status, OvTextRead::kOpenFailed);
  EXPECT_EQ(none.reason, "No such file or directory");
  WriteFile(dir.File("large"), "eleven char");
  EXPECT_EQ(OvFileIO::ReadText(dir.File("large"), 10, bytes).status, OvTextRead::kTooLarge);
  EXPECT_EQ(bytes.Size(), 0u);
  // A descriptor open for writing only cannot be mapped.
  const int writeOnly = ::open(dir.File("large").c_str(), O_WRONLY);
  EXPECT_FALSE(bytes.Map(writeOnly, 11));
  ::close(writeOnly);
  std::string& room = bytes.Room(5);
  EXPECT_EQ(room.size(), 5u);
  EXPECT_EQ(bytes.Size(), 5u);
}

}  // namespace
}  // namespace partsc
