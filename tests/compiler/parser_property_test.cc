// Random lines of any bytes thrown at every line parser: each answers one of
// its own results, keeps its limits, and never crashes (the sanitizer build
// turns any undefined behaviour into a failure).
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>

#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "compiler/tokenizer.h"
#include "compiler/view_list.h"
#include "parser_fixture.h"
#include "partsfile/parts_state.h"

namespace partsc::testing {
namespace {

using ParserPropertyTest = ParserTest;

// Characters that mean something to a parser turn up often, the rest of the
// bytes (no zero byte: a line ends at one) now and then.
class LineMaker {
 public:
  explicit LineMaker(uint32_t seed) : random_(seed) {}

  std::string Line() {
    static const std::string kSpecial = "\"!()<>[]{},.-+eE0123456789 \t\r%$stp";
    static const char* const kStarts[] = {"",         "s",     "p",      "t",   "$$SIZE ",
                                          "$$PARTS ", "$TOP ", "$RIGHT", "s [", "p !"};
    std::string line = kStarts[Pick(std::size(kStarts))];
    const size_t length = Pick(80);
    while (line.size() < length) {
      if (Pick(4) == 0) {
        line.push_back(static_cast<char>(1 + Pick(255)));
      } else {
        line.push_back(kSpecial[Pick(kSpecial.size())]);
      }
    }
    line.resize(std::min<size_t>(line.size(), 79));
    return line;
  }

  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

 private:
  std::mt19937 random_;
};

// The first broken expectation; checked after the console is given back, so
// that the random bytes the parsers echo stay off the test output.
class Problems {
 public:
  void Check(bool ok, const char* what, const std::string& line) {
    if (!ok && first_.empty()) {
      first_ = std::string(what) + " for the line [" + line + "]";
    }
  }
  const std::string& First() const { return first_; }

 private:
  std::string first_;
};

void CheckTokenizer(const std::string& line, Problems& problems) {
  for (const char delimiter : {'"', '!', '(', '<'}) {
    std::string field;
    const int result = ExtractField(line, delimiter, 22, field);
    problems.Check(result >= -2 && result <= 1, "ExtractField result", line);
    problems.Check(field.size() <= 22, "ExtractField length", line);
    problems.Check(field.empty() == (result < 0), "ExtractField empty field", line);
  }
  for (const char bracket : {'<', '[', '{'}) {
    ValueItem items[3];
    int32_t types[3] = {};
    int32_t count = -1;
    ParseValueList(line, 3, bracket, items, types, count);
    problems.Check(count >= 0 && count <= 3, "ParseValueList count", line);
    for (int32_t i = 0; i < count && i < 3; ++i) {
      problems.Check(types[i] >= kItemName && types[i] <= kItemNameCut, "item type", line);
      problems.Check(items[i].name.size() <= 32, "item name length", line);
      problems.Check(types[i] != kItemNumber || items[i].number != 0.0, "item number", line);
      TruncateTo16Bits(items[i].number);
    }
  }
}

void CheckLine(const std::string& line, int lineNumber, int& sizeIndex, ApgSlots& names,
               ApgSlots& comments, Problems& problems) {
  CheckTokenizer(line, problems);

  std::string partsName;
  std::string comment;
  int32_t value1 = 0;
  int32_t value2 = 0;
  const int parts = CompilePartsLine(line, lineNumber, partsName, comment, value1, value2);
  problems.Check(parts == 0 || parts == -1, "CompilePartsLine result", line);
  problems.Check(partsName.size() <= 22 && comment.size() <= 64, "parts texts", line);

  problems.Check(CompileMacroLine(line, lineNumber) == 0, "CompileMacroLine result", line);

  CompileViewLine(line, lineNumber, names, comments);
  for (int v = 0; v < kViewCount; ++v) {
    problems.Check(names[v].size() <= 31 && comments[v].size() <= 31, "APG slot width", line);
  }

  const int size = CompileSizeLine(line, sizeIndex, lineNumber);
  problems.Check(size == 0 || size == -1 || size == kSizeDuplicate || size == kSizeTableFull,
                 "CompileSizeLine result", line);
  if (size == 0) {
    sizeIndex = (sizeIndex + 1) % (kMaxSizes + 2);
  }

  // As a member line of either kind, whatever it starts with, and as it is.
  const std::string rest = line.empty() ? std::string() : line.substr(1);
  for (const std::string& member : {"s" + rest, "p" + rest, line}) {
    const int result = CompileMemberLine(member, lineNumber);
    problems.Check(result == 0 || result == -1 || result == kMemberTableFull,
                   "CompileMemberLine result", member);
  }

  std::string text = line;
  const int expanded = ExpandMacros(text, 64);
  problems.Check(expanded == 0 || expanded == 1, "ExpandMacros result", line);
  problems.Check(text.size() <= 64, "ExpandMacros length", line);
}

void CheckTables(Problems& problems) {
  const PartsFileState& state = PartsFileState::Instance();
  for (int p = 0; p < state.paramCount; ++p) {
    const ParamEntry& entry = *state.paramTable[p];
    const int code = entry.pairCode;
    problems.Check(code == 0 || code == 1 || code == 10 || code == 11, "pairCode", entry.name);
    problems.Check(!entry.name.empty() && entry.name.size() <= 6, "param name", entry.name);
    problems.Check(entry.text.size() <= 64, "param text", entry.text);
    problems.Check(!entry.text.empty() || code % 10 == 1, "param text required", entry.name);
  }
  for (int s = 0; s < state.specCount; ++s) {
    const SpecEntry& entry = *state.specTable[s];
    problems.Check(entry.invertedFlag <= 1, "invertedFlag", entry.name);
    problems.Check(!entry.name.empty() && entry.name.size() <= 63, "spec name", entry.name);
  }
}

TEST_F(ParserPropertyTest, RandomLinesNeverBreakAParser) {
  LineMaker maker(20240611);
  Problems problems;
  ApgSlots names;
  ApgSlots comments;
  int sizeIndex = 0;
  {
    CaptureFd console(1);
    for (int i = 1; i <= 6000; ++i) {
      if (i % 50 == 0) {
        ResetViewDefined();
      }
      CheckLine(maker.Line(), i, sizeIndex, names, comments, problems);
      if (i % 100 == 0) {
        CheckTables(problems);
        DropBlockEntries();
      }
    }
  }
  EXPECT_EQ(problems.First(), "");
  EXPECT_GT(MacroCount(), 0);
}

}  // namespace
}  // namespace partsc::testing
