#include "platform/ov_pipe.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <string>

namespace partsc {
namespace {

// A pipe's reads give the bytes, a timeout while the writer is quiet, and the
// end once it is gone; a write whose reader is gone answers false, and the
// process lives on because the standard pipe ignores SIGPIPE.
TEST(OvPipeTest, ReadsAndWritesUntilTheOtherEndIsGone) {
  OvPipe::Standard();
  std::array<int, 2> ends{};
  ASSERT_EQ(::pipe(ends.data()), 0);
  OvPipe pipe(ends[0], ends[1]);
  std::string bytes;
  EXPECT_TRUE(pipe.Write("Content-Length: 2\r\n\r\n{}"));
  EXPECT_EQ(pipe.Read(bytes, 0), OvReadResult::kData);
  EXPECT_EQ(bytes, "Content-Length: 2\r\n\r\n{}");
  EXPECT_EQ(pipe.Read(bytes, 0), OvReadResult::kTimeout);
  ::close(ends[1]);
  EXPECT_EQ(pipe.Read(bytes, 0), OvReadResult::kEnd);

  ASSERT_EQ(::pipe(ends.data()), 0);
  ::close(ends[0]);
  EXPECT_FALSE(OvPipe(-1, ends[1]).Write("x"));
  ::close(ends[1]);
}

}  // namespace
}  // namespace partsc
