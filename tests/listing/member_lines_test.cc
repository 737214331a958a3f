// Member lines of the run log, for entries a damaged or foreign file can
// carry: texts with zero bytes and '%', numbers of any sign and size. Each
// line must read exactly as its printf format prints it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "listing/listing.h"
#include "partsfile/parts_state.h"
#include "platform/ov_file_io.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

using namespace std::string_literals;

template <class... Args>
std::string Printed(const char* format, Args... args) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

// What ListMembers writes for the entries of the current size.
std::string Listed(int kind) {
  TempDir dir;
  OvFileIO runLog;
  EXPECT_TRUE(runLog.Fopen(dir.File("run.log"), "w"));
  ListMembers(runLog, 2, kind);
  runLog.Fclose();
  return ReadFile(dir.File("run.log"));
}

class MemberLinesTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearTables(); }
  void TearDown() override { ClearTables(); }
};

TEST_F(MemberLinesTest, SpecLinesReadAsPrintfPrintsThem) {
  struct Case {
    uint16_t number, invertedFlag, record;
    std::string name;
  };
  const std::vector<Case> cases = {
      {5, 0, 0, "SHANK"},
      {256, 1, 0, "N"},
      {7, 0, 3, "REC"},
      {65535, 1, 65535, "neg"},
      {32768, 2, 40000, "big"},
      {1, 0, 9, "a%sb%d"},
      {2, 1, 0, "ze\0ro"s},
      {4, 1, 0, "\0lead"s},
      {3, 0, 0, ""},
      {0, 0, 0, std::string(255, 'x')},
  };
  PartsFileState& state = PartsFileState::Instance();
  std::string expected;
  for (const Case& c : cases) {
    state.specTable[static_cast<size_t>(state.specCount++)] =
        std::make_unique<SpecEntry>(SpecEntry{c.number, c.invertedFlag, c.record, c.name});
    const int number = static_cast<int16_t>(c.number);
    const int record = static_cast<int16_t>(c.record);
    const int shown = c.invertedFlag == 0 ? 1 : 0;
    expected += record == 0
                    ? Printed("s <%d,%d>\"%s\"\n", number, shown, c.name.c_str())
                    : Printed("s [%d] <%d,%d>\"%s\"\n", record, number, shown, c.name.c_str());
  }
  EXPECT_EQ(Listed(1), expected);
}

TEST_F(MemberLinesTest, ParamLinesReadAsPrintfPrintsThem) {
  struct Case {
    std::string name;
    int16_t pairCode;
    std::string text;
    std::optional<std::string> comment;
  };
  const std::vector<Case> cases = {
      {"D", 0, "10", std::nullopt}, {"L", 10, "x", "nominal"},
      {"K", 1, "", "from table"},   {"W", 11, "", std::nullopt},
      {"N", -11, "neg", "c"},       {"Q", 25, "t%dx", "%s"},
      {"R", -32768, "", ""},        {"Z\0Z"s, 10, "te\0xt"s, "co\0mment"s},
      {"\0"s, 0, "\0"s, "\0lead"s}, {"LONGER", 0, std::string(64, 't'), std::string(63, 'c')},
  };
  PartsFileState& state = PartsFileState::Instance();
  std::string expected;
  for (const Case& c : cases) {
    state.paramTable[static_cast<size_t>(state.paramCount++)] =
        std::make_unique<ParamEntry>(ParamEntry{c.name, c.pairCode, c.text, c.comment});
    const int units = c.pairCode % 10;
    const int tens = c.pairCode / 10;
    expected += Printed("p !%s!", c.name.c_str());
    if (units == 0) {
      expected += Printed(" (%s)", c.text.c_str());
    }
    if (c.pairCode != 0) {
      expected += Printed(" <%1d,%1d>", units, tens);
    }
    const std::string comment = c.comment.value_or("");
    if (!comment.empty()) {
      expected += Printed("\" %s\"", comment.c_str());
    }
    expected += "\n";
  }
  EXPECT_EQ(Listed(2), expected);
}

}  // namespace
}  // namespace partsc::testing
