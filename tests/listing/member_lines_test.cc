// Member lines of the run log, for entries a damaged or foreign file can
// carry: texts with zero bytes and '%', every value a byte of a member record
// holds. A text ends at its first zero byte; a record of 256 (a record byte
// of 0) shows as none.
#include <gtest/gtest.h>

#include <string>

#include "listing/listing.h"
#include "platform/ov_file_io.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

using namespace std::string_literals;

// What ListMembers writes for a member list.
std::string Listed(const MemberList& list) {
  OvFileIO runLog;
  EXPECT_TRUE(runLog.FopenMemory());
  ListMembers(runLog, list);
  return runLog.MemoryText();
}

TEST(MemberLines, SpecLines) {
  const MemberList list{{
                            {5, 0, 0, "SHANK"},
                            {256, 1, 256, "whole"},
                            {1, 255, 255, "b"},
                            {1, 0, 9, "a%sb%d"},
                            {2, 1, 0, "ze\0ro"s},
                            {3, 0, 0, ""},
                            {256, 0, 0, std::string(255, 'x')},
                        },
                        {}};
  EXPECT_EQ(Listed(list),
            "s <5,1>\"SHANK\"\n"
            "s <256,0>\"whole\"\n"
            "s [255] <1,0>\"b\"\n"
            "s [9] <1,1>\"a%sb%d\"\n"
            "s <2,0>\"ze\"\n"
            "s <3,1>\"\"\n"
            "s <256,1>\"" +
                std::string(255, 'x') + "\"\n");
}

TEST(MemberLines, ParamLines) {
  const MemberList list{{},
                        {
                            {"D", 0, "10", ""},
                            {"L", 10, "x", "nominal"},
                            {"K", 1, "", "from table"},
                            {"N", 200, "t", "c"},
                            {"Q", 25, "t%dx", "%s"},
                            {"R", 255, "", ""},
                            {"Z\0Z"s, 10, "te\0xt"s, "co\0mment"s},
                            {"\0"s, 0, "\0"s, "\0lead"s},
                            {"LONGER", 0, std::string(64, 't'), std::string(63, 'c')},
                        }};
  EXPECT_EQ(Listed(list),
            "p !D! (10)\n"
            "p !L! (x) <0,1>\" nominal\"\n"
            "p !K! <1,0>\" from table\"\n"
            "p !N! (t) <0,20>\" c\"\n"
            "p !Q! <5,2>\" %s\"\n"
            "p !R! <5,25>\n"
            "p !Z! (te) <0,1>\" co\"\n"
            "p !! ()\" \"\n"
            "p !LONGER! (" +
                std::string(64, 't') + ")\" " + std::string(63, 'c') + "\"\n");
}

}  // namespace
}  // namespace partsc::testing
