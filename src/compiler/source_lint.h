// Warnings for what a source line silently becomes: unknown keywords,
// keywords read by their beginning, fields left open, texts cut without a
// message. Each is reported only when its warning is on (-W...).
#pragma once

#include <string_view>

namespace partsc {

class Diagnostics;
class LinePieces;
class MacroTable;

// The word a "$$" line (else a "$" line, with the view keywords) begins
// with, and the keyword it is read as; when it is read as none, the keyword
// it is in other letter case, else (`nearest`) the one within two edits of
// it, else none. The language server's fixes spell the word so.
struct Respelling {
  std::string_view word;
  std::string_view keyword;
};
Respelling RespellingOf(std::string_view line, bool nearest = true);

// A "$$" line: a keyword read by its beginning ("$$SIZES" as "$$SIZE"), and,
// when `partsSeen`, a keyword that is no keyword at all, with the keyword it
// is in other letter case ("$$size") or the one within two edits of it when
// there is one; before `partsSeen`, only one in other letter case.
void LintKeywordLine(Diagnostics& diagnostics, std::string_view line, bool partsSeen);

// A line of the $$APG block: a keyword read by its beginning ("$TOPP" as
// "$TOP", `view` the view it was read as); for a line that begins with no
// view keyword (`view` -1), the view keyword it is in other letter case
// ("$top"), or within two edits of.
void LintViewKeyword(Diagnostics& diagnostics, std::string_view line, int view);

// A member line ("s" or "p") that no $$COMMON or $$SIZE block reads.
void LintMemberOutsideBlock(Diagnostics& diagnostics, std::string_view line);

// Every field of the line that is opened and never closed, among the fields
// its kind of line has.
void LintFields(Diagnostics& diagnostics, std::string_view line);

// The field opened by `delimiter`, as the line holds it, cut to `limit`
// bytes: the text-cut warning unless the cut has a message of its own
// (`reported`), and the split-character warning when the cut falls inside a
// UTF-8 character. `what` names it ("APG name").
void LintFieldCut(Diagnostics& diagnostics, std::string_view what, std::string_view line,
                  char delimiter, int limit, bool reported = false);

// A text that was cut to what `kept` holds: the split-character warning when
// it ends inside a UTF-8 character.
void LintKeptText(Diagnostics& diagnostics, std::string_view what, std::string_view kept, int at);

// Every macro that the parameter text of a param line names and that is not
// defined: its "{NAME}" becomes a single "{".
void LintUndefinedMacros(Diagnostics& diagnostics, const MacroTable& macros, std::string_view line);

// A line just read: one that arrived in several pieces, once it is complete,
// and the first line (of the file) that ends in a carriage return. Answers
// whether a carriage return has been seen, on this line or before it.
bool LintLineEnd(Diagnostics& diagnostics, const LinePieces& pieces, std::string_view line,
                 bool carriageReturnSeen);

}  // namespace partsc
