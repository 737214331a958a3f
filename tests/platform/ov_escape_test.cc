#include "platform/ov_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace partsc {
namespace {

// Each escape of a name or text, on the bytes that could forge a line, hide
// a name's ends or act on a terminal.
TEST(Escapes, ShowEveryByteThatCouldForgeALineOrActOnATerminal) {
  struct Case {
    std::string text;
    std::string quoted;    // QuoteName
    std::string terminal;  // EscapeForTerminal
    std::string controls;  // EscapeControls
  };
  const Case cases[] = {
      {"bolt.prt", "bolt.prt", "bolt.prt", "bolt.prt"},
      {"", "\"\"", "", ""},
      {" lead", "\" lead\"", " lead", " lead"},
      {"a\"b\\c", "a\"b\\c", "a\"b\\c", "a\"b\\c"},
      {"a\nb\tc", "\"a\\x0ab\\x09c\"", "a\nb\tc", "a\\x0ab\tc"},
      {"a\x1b[2Jb", "\"a\\x1b[2Jb\"", "a\\x1b[2Jb", "a\\x1b[2Jb"},
      // U+0085 in UTF-8: a C1 control of two bytes, then the name goes on.
      {"a\xc2\x85z", "\"a\\xc2\\x85z\"", "a\\xc2\\x85z", "a\xc2\x85z"},
      {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
      // Latin-1: the bytes that are no UTF-8 in a name, 0x80 to 0x9F on a
      // terminal.
      {"\xe9t\x9b\"", "\"\\xe9t\\x9b\\\"\"", "\xe9t\\x9b\"", "\xe9t\x9b\""},
      // The ends of the C1 range, and the first byte past it, in both texts.
      {"\x80\x9f\xa0", "\"\\x80\\x9f\\xa0\"", "\\x80\\x9f\xa0", "\x80\x9f\xa0"},
      {"\xc2\x9f\xc2\xa0", "\"\\xc2\\x9f\xc2\xa0\"", "\\xc2\\x9f\xc2\xa0", "\xc2\x9f\xc2\xa0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string quoted = QuoteName(c.text);
    EXPECT_EQ(quoted, c.quoted);
    EXPECT_EQ(EscapeForTerminal(c.text), c.terminal);
    EXPECT_EQ(EscapeControls(c.text), c.controls);
    EXPECT_EQ(EscapeLineBreaks(c.text).find_first_of("\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace partsc
