// Member lines of the run log, for entries a damaged or foreign file can
// carry: texts with zero bytes and '%', numbers of any sign and size. A text
// ends at its first zero byte, and numbers show as 16-bit signed values.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "listing/listing.h"
#include "partsfile/parts_state.h"
#include "platform/ov_file_io.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

using namespace std::string_literals;

// What ListMembers writes for the entries of the current size.
std::string Listed(const PartsFileState& state, int kind) {
  OvFileIO runLog;
  EXPECT_TRUE(runLog.FopenMemory());
  ListMembers(state, runLog, 2, kind);
  return runLog.MemoryText();
}

class MemberLinesTest : public ::testing::Test {
 protected:
  std::unique_ptr<PartsFileState> state_ = std::make_unique<PartsFileState>();
};

TEST_F(MemberLinesTest, SpecLines) {
  const SpecEntry entries[] = {
      {5, 0, 0, "SHANK"},
      {65535, 1, 65535, "neg"},
      {32768, 2, 40000, "big"},
      {1, 0, 9, "a%sb%d"},
      {2, 1, 0, "ze\0ro"s},
      {3, 0, 0, ""},
      {0, 0, 0, std::string(255, 'x')},
  };
  PartsFileState& state = *state_;
  for (const SpecEntry& entry : entries) {
    state.specTable[static_cast<size_t>(state.specCount++)] = std::make_unique<SpecEntry>(entry);
  }
  EXPECT_EQ(Listed(state, 1),
            "s <5,1>\"SHANK\"\n"
            "s [-1] <-1,0>\"neg\"\n"
            "s [-25536] <-32768,0>\"big\"\n"
            "s [9] <1,1>\"a%sb%d\"\n"
            "s <2,0>\"ze\"\n"
            "s <3,1>\"\"\n"
            "s <0,1>\"" +
                std::string(255, 'x') + "\"\n");
}

TEST_F(MemberLinesTest, ParamLines) {
  const ParamEntry entries[] = {
      {"D", 0, "10", ""},
      {"L", 10, "x", "nominal"},
      {"K", 1, "", "from table"},
      {"N", -11, "neg", "c"},
      {"Q", 25, "t%dx", "%s"},
      {"R", -32768, "", ""},
      {"Z\0Z"s, 10, "te\0xt"s, "co\0mment"s},
      {"\0"s, 0, "\0"s, "\0lead"s},
      {"LONGER", 0, std::string(64, 't'), std::string(63, 'c')},
  };
  PartsFileState& state = *state_;
  for (const ParamEntry& entry : entries) {
    state.paramTable[static_cast<size_t>(state.paramCount++)] = std::make_unique<ParamEntry>(entry);
  }
  EXPECT_EQ(Listed(state, 2),
            "p !D! (10)\n"
            "p !L! (x) <0,1>\" nominal\"\n"
            "p !K! <1,0>\" from table\"\n"
            "p !N! <-1,-1>\" c\"\n"
            "p !Q! <5,2>\" %s\"\n"
            "p !R! <-8,-3276>\n"
            "p !Z! (te) <0,1>\" co\"\n"
            "p !! ()\" \"\n"
            "p !LONGER! (" +
                std::string(64, 't') + ")\" " + std::string(63, 'c') + "\"\n");
}

}  // namespace
}  // namespace partsc::testing
