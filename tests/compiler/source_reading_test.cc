// The language server reads a source as the compiler does: the same pieces,
// the same kinds of line and blocks, each field where the line parser finds it.
#include "compiler/source_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/source_pieces.h"
#include "platform/ov_file_io.h"
#include "platform/ov_string_util.h"

namespace partsc {
namespace {

// The pieces of at most 79 characters go back to the lines of the file: the
// line, the column of each piece, and the length and pieces of each line.
TEST(LinePieces, FollowsPiecesBackToLines) {
  const std::string p79(79, 'x');
  struct Step {
    std::string piece;
    int line, column, length, pieces;
    bool ended;
  };
  const Step steps[] = {
      {"a\n", 1, 1, 1, 1, true},      {p79, 2, 1, 79, 1, false},  {p79, 2, 80, 158, 2, false},
      {"yz\n", 2, 159, 160, 3, true}, {p79, 3, 1, 79, 1, false},  {"\n", 3, 80, 79, 2, true},
      {"\n", 4, 1, 0, 1, true},       {"end", 5, 1, 3, 1, false},
  };
  LinePieces pieces;
  for (const Step& s : steps) {
    pieces.Take(s.piece);
    EXPECT_EQ(pieces.PhysicalLine(), s.line) << s.piece;
    EXPECT_EQ(pieces.StartColumn(), s.column) << s.piece;
    EXPECT_EQ(pieces.LineLength(), s.length) << s.piece;
    EXPECT_EQ(pieces.Pieces(), s.pieces) << s.piece;
    EXPECT_EQ(pieces.LineEnded(), s.ended) << s.piece;
  }
}

TEST(ReadSource, TakesThePiecesTheCompilerReads) {
  const std::string long79(79, 'a');
  const std::vector<std::string> texts = {
      "",
      "$$PARTS !a!",
      "$$PARTS !a!\n\n  \t\n$$END\n",
      long79 + "\n" + long79 + "b\n" + std::string(200, 'c') + "\nend",
      std::string(78, 'd') + "\r\n" + std::string(80, 'e') + "\r\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const Reading reading = ReadSource(text);
    OvFileIO input;
    ASSERT_TRUE(input.FopenText(text));
    LinePieces lines;
    std::string line;
    size_t index = 0;
    while (input.Fgets(line, 80)) {
      lines.Take(line);
      TrimLineEnd(line);
      ASSERT_LT(index, reading.pieces.size());
      const Piece& piece = reading.pieces[index++];
      EXPECT_EQ(reading.TextOf(piece), line);
      EXPECT_EQ(piece.physicalLine, lines.PhysicalLine());
      EXPECT_EQ(piece.startColumn, lines.StartColumn());
    }
    EXPECT_EQ(index, reading.pieces.size());
  }
}

// A piece ends at a zero byte, as the line reader's does, but the file's
// lines and columns count the bytes after it too.
TEST(ReadSource, CountsTheBytesAfterAZeroByteInLinesAndColumns) {
  struct Placed {
    std::string text;
    int line, column;
  };
  struct Case {
    std::string source;
    std::vector<Placed> pieces;
  };
  const Case cases[] = {
      {std::string("p !A! (1)\0zzz\nnext\n", 19), {{"p !A! (1)", 1, 1}, {"next", 2, 1}}},
      {std::string("x\0", 2) + std::string(100, 'y') + "\nz",
       {{"x", 1, 1}, {std::string(23, 'y'), 1, 80}, {"z", 2, 1}}},
  };
  for (const Case& c : cases) {
    const Reading reading = ReadSource(c.source);
    ASSERT_EQ(reading.pieces.size(), c.pieces.size());
    for (size_t i = 0; i < c.pieces.size(); ++i) {
      const Piece& piece = reading.pieces[i];
      EXPECT_EQ(reading.TextOf(piece), c.pieces[i].text);
      EXPECT_EQ(piece.physicalLine, c.pieces[i].line) << c.pieces[i].text;
      EXPECT_EQ(piece.startColumn, c.pieces[i].column) << c.pieces[i].text;
    }
  }
}

// One letter a piece: K keyword, U unknown keyword, M macro, V view, S spec,
// P param, C comment, X skipped in a block, I ignored, N not read, and "+"
// when the block reports it too; then the block ("a" view, "c" common, "s"
// size, "-" none).
std::string Kinds(const Reading& reading) {
  std::string kinds;
  for (const Piece& piece : reading.pieces) {
    kinds += "KUMVSPCXIN"[static_cast<int>(piece.kind)];
    kinds += piece.reportedByBlock ? "+" : "";
    kinds += piece.block < 0 ? '-' : "acs"[static_cast<int>(reading.blocks[piece.block].kind)];
    kinds += ' ';
  }
  return kinds;
}

TEST(ReadSource, GivesEachLineTheKindAndBlockThePassesGiveIt) {
  const std::string text =
      "t !A! (1)\n"  // before $$PARTS: a macro all the same
      "anything\n"   // ignored
      "$$PARTS !a!\n"
      "$$APG\n"
      "$TOPP !T!\n"   // read as $TOP
      " $LEFT !L!\n"  // not at the start: skipped
      "t !B! (2)\n"   // a macro inside the block, and a line it skips
      "$$COMMON \"C\"\n"
      "s <1,1> \"X\"\n"
      "/ note\n"
      "\n"       // skipped
      "$$APG\n"  // a second block: not compiled
      "$BACK !K!\n"
      "$$BOGUS\n"    // ends the block
      "p !P! (1)\n"  // outside any block
      "$$SIZE \"S\"\n"
      "p !Q! (2)\n"
      "$$END\n"
      "$$SIZE \"T\"\n";
  const Reading reading = ReadSource(text);
  EXPECT_EQ(Kinds(reading), "M- I- K- K- Va Xa M+a K- Sc Cc Xc K- Ia U- I- K- Ps K- N- ");
  ASSERT_EQ(reading.blocks.size(), 4u);
  EXPECT_FALSE(reading.blocks[2].compiled);
  EXPECT_EQ(reading.blocks[3].lastPiece, 16u);
  EXPECT_EQ(*reading.partsPiece, 2u);
}

TEST(ReadSource, StopsAtAFirstKeywordLineThatIsNotParts) {
  const Reading reading = ReadSource("t !A! (1)\n$$SIZE \"S\"\n$$PARTS !a!\nt !B! (2)\n");
  EXPECT_EQ(Kinds(reading), "M- K- N- N- ");
  EXPECT_EQ(reading.macros.size(), 1u);
  EXPECT_FALSE(reading.partsPiece.has_value());
}

TEST(ReadSource, FindsTheMacroALineSees) {
  const std::string text =
      "$$PARTS !a!\n"
      "t !M! (1)\n"
      "$$COMMON \"C\"\n"
      "p !P! ({M})\n"
      "t !M! (2)\n"
      "$$SIZE \"S\"\n"
      "p !Q! ({M}{N})\n"
      "t !M! (3)\n"
      "t !N!\n"  // no value: defines nothing
      "$$END\n"
      "t !M! (4)\n";
  const Reading reading = ReadSource(text);
  ASSERT_EQ(reading.macros.size(), 3u);
  EXPECT_EQ(reading.MacroFor("M", 3)->value, "1") << "the common block sees the macros above it";
  EXPECT_EQ(reading.MacroFor("M", 6)->value, "3") << "a size block sees every macro";
  EXPECT_EQ(reading.MacroFor("N", 6), nullptr);
  const std::vector<MacroUse> uses = MacroUsesOf(reading.TextOf(reading.pieces[6]));
  ASSERT_EQ(uses.size(), 2u);
  EXPECT_EQ(uses[1].name, "N");
  EXPECT_EQ(uses[1].start, 10u);
}

// "type+declaration@start:length" for each token.
std::string Rendered(const std::string& text, size_t piece) {
  const Reading reading = ReadSource(text);
  std::string out;
  for (const Token& token : TokensOf(reading, piece)) {
    out += std::string("KNTnMC").substr(static_cast<size_t>(token.type), 1) +
           (token.declaration ? "*" : "") + "@" + std::to_string(token.start) + ":" +
           std::to_string(token.length) + " ";
  }
  return out;
}

TEST(TokensOf, PutsEachFieldWhereTheLineParserFindsIt) {
  const std::string head = "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"S\"\n";
  struct Case {
    std::string text;
    size_t piece;
    std::string tokens;
  };
  const Case cases[] = {
      {"$$PARTS !bolt! <1, 0,x> \"Hex\"\n", 0, "K@0:7 N*@9:4 n@16:1 n@19:1 N@21:1 T@25:3 "},
      // The name starts inside the comment, and is cut where the comment ends.
      {"$$PARTS \"Hi! there\" !b!\n", 0, "K@0:7 T@9:9 N*@18:1 "},
      {"$$PARTS !a!\n$$SIZES \"M4\" !M4 x 12\n", 1, "K@0:6 N*@9:2 T@14:7 "},
      {"$$PARTS !a!\n$$SPEC <3,4>\n", 1, "K@0:6 n@8:1 n@10:1 "},
      {"$$PARTS !a!\n$$APG\n$TOPP !T! \"above\"\n", 2, "K@0:4 N*@7:1 T@11:5 "},
      {head + "s [2] <5, x> \"MAT\"\n", 4, "K@0:1 n@3:1 n@7:1 N@10:1 N*@14:3 "},
      {head + "p !D! (a{B}c{D) <0,0> \"c\"\n", 4,
       "K@0:1 N*@3:1 T@7:1 M@8:3 T@11:1 M@12:2 n@17:1 n@19:1 T@23:1 "},
      {head + "s [] <> \"X>\"\n", 4, "K@0:1 N*@9:2 "},
      {head + "p !D! (x(y)z) <1,1>\n", 4, "K@0:1 N*@3:1 T@7:5 n@15:1 n@17:1 "},
      {"$$PARTS !a!\nt !PITCH! ( 1.5 )\n", 1, "K@0:1 M*@3:5 T@12:3 "},
      {"$$PARTS !a!\nignored line\n/ comment\n", 1, "C@0:12 "},
      {"$$PARTS !a!\n$$NOPE \"x\"\n", 1, ""},
      {"$$PARTS !a!\n$$END\n$$SIZE \"S\"\n", 2, "C@0:10 "},
      {head + "M4 thin\n", 4, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Rendered(c.text, c.piece), c.tokens);
  }
}

TEST(TokensOf, ReadsTheRestOfALongLineAsALineOfItsOwn) {
  const std::string text = "$$PARTS !a!\n$$SIZE \"S\"\n/" + std::string(78, '.') + "p !X! (1)\n";
  const Reading reading = ReadSource(text);
  ASSERT_EQ(reading.pieces.size(), 4u);
  EXPECT_EQ(reading.pieces[3].kind, LineKind::kParamMember);
  EXPECT_EQ(reading.pieces[3].startColumn, 80);
  EXPECT_EQ(Rendered(text, 2), "C@0:79 ");
  EXPECT_EQ(Rendered(text, 3), "K@0:1 N*@3:1 T@7:1 ");
}

}  // namespace
}  // namespace partsc
