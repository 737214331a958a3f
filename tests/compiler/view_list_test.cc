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

std::string Warn(const std::string& text, int line) {
  return WithLine("W", text, line);
}

TEST_F(ViewListTest, Table) {
  const std::string n31(31, 'a');
  const std::string n70 = n31 + std::string(39, 'd');
  const std::string unknown = "Unknown View Keyword (Skip)";
  const std::string same = "Same Apg Name Define";
  const struct {
    std::vector<ViewLine> lines;  // numbered from 10
    ApgSlots names;
    ApgSlots comments;
  } cases[] = {
      {{{"$TOP !T! \"top\"", ""},
        {"$BOTTOM !B!", ""},
        {"$FRONT  \"  the front \"\t! F1 !", ""},
        {"$BACK !K!", ""},
        {"$LEFT !%s%n! \"%d%%\"", ""},
        {"$RIGHT !R! \"r\"", ""}},
       {"T", "B", "F1", "K", "%s%n", "R"},
       {"top", "", "the front", "", "%d%%", "r"}},
      {{{"$TOP !A! \"first\"", ""},
        {"$TOP !B! \"second\"", Warn("$TOP already defined", 11)},
        {"$RIGHTMOST !C!", ""},
        {"$RIGHT !D!", Warn("$RIGHT already defined", 13)}},
       {"A", "", "", "", "", "C"},
       {"first", "", "", "", "", ""}},
      {{{" $TOP !A!", Warn(unknown, 10)},
        {"", Warn(unknown, 11)},
        {"$top !A!", Warn(unknown, 12)},
        {"$BAC !A!", Warn(unknown, 13)}},
       {},
       {}},
      {{{"$BACK \"c\"", Warn("APG Name is Nothing", 10)},
        {"$BACK ! \t ! \"c\"", Warn("APG Name is Nothing", 11)},
        {"$BACK !K! \"c\"", ""}},
       {"", "", "", "K", "", ""},
       {"", "", "", "c", "", ""}},
      {{{"$TOP !A! \"same\"", ""},
        {"$FRONT !A! \"x\"", Warn(same, 11)},
        {"$FRONT !a! \"same\"", ""},
        {"$LEFT !a!", Warn(same, 13)}},
       {"A", "", "a", "", "", ""},
       {"same", "", "same", "", "", ""}},
      // Names and comments are cut to 31 silently, before the same-name check.
      {{{"$TOP !" + n31 + "!", ""},
        {"$BOTTOM !" + n31 + "b!", Warn(same, 11)},
        {"$FRONT !y" + n70 + "! \"" + n70 + "\"", ""}},
       {n31, "", "y" + n70.substr(0, 30), "", "", ""},
       {"", "", n70.substr(0, 31), "", "", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines[0].line);
    ResetViewDefined();
    ApgSlots names;
    ApgSlots comments;
    int lineNumber = 10;
    for (const ViewLine& line : c.lines) {
      CompileViewLine(line.line, lineNumber, names, comments);
      EXPECT_EQ(TakeLog(), line.log) << "line " << lineNumber;
      ++lineNumber;
    }
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(comments, c.comments);
    for (int i = 0; i < kViewCount; ++i) {
      EXPECT_EQ(IsViewDefined(i), !c.names[i].empty()) << "view " << i;
    }
  }
}

TEST_F(ViewListTest, FlagsOutliveTheCallUntilReset) {
  ApgSlots names;
  ApgSlots comments;
  CompileViewLine("$TOP !A!", 1, names, comments);
  ApgSlots freshNames;
  CompileViewLine("$TOP !B!", 2, freshNames, comments);
  EXPECT_EQ(TakeLog(), WithLine("W", "$TOP already defined", 2));
  ResetViewDefined();
  CompileViewLine("$TOP !B!", 3, freshNames, comments);
  EXPECT_EQ(freshNames[0], "B");
  EXPECT_FALSE(IsViewDefined(-1));
  EXPECT_FALSE(IsViewDefined(6));
}

}  // namespace
}  // namespace partsc::testing
