#include "compiler/view_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/parts_line.h"
#include "parser_fixture.h"

namespace partsc::testing {
namespace {

using ViewListTest = ParserTest;

struct ViewLine {
  std::string line;
  std::string log;  // what this line writes to the error log
};

struct ViewCase {
  const char* label;
  std::vector<ViewLine> lines;  // numbered from 10
  ApgSlots names;
  ApgSlots comments;
};

std::string Warn(const std::string& text, int line) {
  return WithLine("W", text, line);
}

TEST_F(ViewListTest, Table) {
  const std::string n31(31, 'a');
  const std::string n32 = n31 + "b";
  const std::string n64 = n31 + std::string(33, 'c');
  const std::string n70 = n31 + std::string(39, 'd');
  const std::string unknown = "Unknown View Keyword (Skip)";
  const ViewCase cases[] = {
      {"all six views",
       {{"$TOP !T! \"top\"", ""},
        {"$BOTTOM !B!", ""},
        {"$FRONT !F! \"front\"", ""},
        {"$BACK !K!", ""},
        {"$LEFT !L!", ""},
        {"$RIGHT !R! \"r\"", ""}},
       {"T", "B", "F", "K", "L", "R"},
       {"top", "", "front", "", "", "r"}},
      {"fields in any order, trimmed",
       {{"$FRONT  \"  the front \"\t! F1 !", ""}},
       {"", "", "F1", "", "", ""},
       {"", "", "the front", "", "", ""}},
      {"already defined keeps the first",
       {{"$TOP !A! \"first\"", ""},
        {"$TOP !B! \"second\"", Warn("$TOP already defined", 11)},
        {"$RIGHTMOST !C!", ""},
        {"$RIGHT !D!", Warn("$RIGHT already defined", 13)}},
       {"A", "", "", "", "", "C"},
       {"first", "", "", "", "", ""}},
      {"keyword must start the line",
       {{" $TOP !A!", Warn(unknown, 10)},
        {"\t$TOP !A!", Warn(unknown, 11)},
        {"", Warn(unknown, 12)},
        {"$top !A!", Warn(unknown, 13)},
        {"$BAC !A!", Warn(unknown, 14)},
        {"t !M! (1)", Warn(unknown, 15)},
        {"TOP !A!", Warn(unknown, 16)}},
       {},
       {}},
      {"missing name leaves the view open",
       {{"$BACK \"c\"", Warn("APG Name is Nothing", 10)},
        {"$BACK ! \t ! \"c\"", Warn("APG Name is Nothing", 11)},
        {"$BACK !K! \"c\"", ""}},
       {"", "", "", "K", "", ""},
       {"", "", "", "c", "", ""}},
      {"same name refused, case counts, comments may repeat",
       {{"$TOP !A! \"same\"", ""},
        {"$FRONT !A! \"x\"", Warn("Same Apg Name Define", 11)},
        {"$FRONT !a! \"same\"", ""},
        {"$LEFT !a!", Warn("Same Apg Name Define", 13)}},
       {"A", "", "a", "", "", ""},
       {"same", "", "same", "", "", ""}},
      {"names over 31 characters are cut silently, before the same-name check",
       {{"$TOP !" + n31 + "!", ""},
        {"$BOTTOM !" + n32 + "!", Warn("Same Apg Name Define", 11)},
        {"$FRONT !b" + n31 + "!", ""},
        {"$BACK !x" + n64 + "!", ""},
        {"$LEFT !y" + n70 + "!", ""}},
       {n31, "", "b" + n31.substr(0, 30), "x" + n64.substr(0, 30), "y" + n70.substr(0, 30), ""},
       {}},
      {"comments over 31 characters are cut silently",
       {{"$TOP !A! \"" + n32 + "\"", ""},
        {"$FRONT !B! \"" + n70 + "\"", ""},
        {"$BACK !C! \"" + n31 + "\"", ""}},
       {"A", "", "B", "C", "", ""},
       {n31, "", n31, n31, "", ""}},
      {"percent signs are text",
       {{"$LEFT !%s%n! \"%d%%\"", ""}, {"$LEFT !x!", Warn("$LEFT already defined", 11)}},
       {"", "", "", "", "%s%n", ""},
       {"", "", "", "", "%d%%", ""}},
  };
  for (const ViewCase& c : cases) {
    ResetViewDefined();
    ApgSlots names;
    ApgSlots comments;
    int lineNumber = 10;
    for (const ViewLine& line : c.lines) {
      CompileViewLine(line.line, lineNumber, names, comments);
      EXPECT_EQ(TakeLog(), line.log) << c.label << ", line " << lineNumber;
      ++lineNumber;
    }
    EXPECT_EQ(names, c.names) << c.label;
    EXPECT_EQ(comments, c.comments) << c.label;
    for (int i = 0; i < kViewCount; ++i) {
      EXPECT_EQ(IsViewDefined(i), !c.names[i].empty()) << c.label << ", view " << i;
    }
  }
}

TEST_F(ViewListTest, ConsoleShowsEachAcceptedView) {
  ApgSlots names;
  ApgSlots comments;
  std::string console;
  {
    CaptureFd capture(1);
    CompileViewLine("$TOP !T1!", 1, names, comments);
    CompileViewLine("$BOTTOM !B1!", 2, names, comments);
    CompileViewLine("$BOTTOM !B2!", 3, names, comments);
    CompileViewLine("$FRONT !F1!", 4, names, comments);
    CompileViewLine("$BACK !K1!", 5, names, comments);
    CompileViewLine("$LEFT !%s!", 6, names, comments);
    CompileViewLine("$RIGHT !R1!", 7, names, comments);
    console = capture.Text();
  }
  EXPECT_EQ(console,
            "\tapg $TOP\t\tT1\n"
            "\tapg $BOTTOM\t\tB1\n" +
                WithLine("W", "$BOTTOM already defined", 3) +
                "\tapg $FRONT\t\tF1\n"
                "\tapg $BACK\t\tK1\n"
                "\tapg $LEFT\t\t%s\n"
                "\tapg $RIGHT\t\tR1\n");
}

TEST_F(ViewListTest, FlagsOutliveTheCallUntilReset) {
  ApgSlots names;
  ApgSlots comments;
  CompileViewLine("$TOP !A!", 1, names, comments);
  ApgSlots freshNames;
  ApgSlots freshComments;
  CompileViewLine("$TOP !B!", 2, freshNames, freshComments);
  EXPECT_EQ(TakeLog(), WithLine("W", "$TOP already defined", 2));
  ResetViewDefined();
  EXPECT_FALSE(IsViewDefined(0));
  CompileViewLine("$TOP !B!", 3, freshNames, freshComments);
  EXPECT_EQ(freshNames[0], "B");
  EXPECT_TRUE(IsViewDefined(0));
  EXPECT_FALSE(IsViewDefined(-1));
  EXPECT_FALSE(IsViewDefined(6));
}

}  // namespace
}  // namespace partsc::testing
