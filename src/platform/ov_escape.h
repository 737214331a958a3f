// Texts shown safely: a name or a text inside one line of partsc's own
// output, or any text on its way to a terminal, can neither forge a line nor
// act on the terminal.
#pragma once

#include <string>
#include <string_view>

namespace partsc {

// The text with every control character but the tab (bytes below 32, and
// 127) shown as "\xHH": a line of our own that names a file or quotes a
// source then holds no line end or escape sequence that a terminal or an
// editor would act on.
std::string EscapeControls(std::string_view text);
// The text with its line feeds and carriage returns shown as "\x0a" and
// "\x0d": a name or text inside one line of partsc's own output (--list,
// --diff) cannot begin a line of its own.
std::string EscapeLineBreaks(std::string_view text);
// A file name as partsc's own messages show it: as it stands when it holds
// only plain printable characters (valid UTF-8 without control characters,
// C1 controls included, and no blank at either end), else between double
// quotes, with a backslash before '"' and '\\', and every control
// character and every byte that is not UTF-8 shown as "\xHH": a name
// cannot forge a line or hide its ends.
std::string QuoteName(std::string_view name);
// The same for text on its way to a terminal: the line feeds that end its
// lines stay, and the C1 controls are escaped too (U+0080 to U+009F in UTF-8
// text, the bytes 0x80 to 0x9F in any other), byte by byte.
std::string EscapeForTerminal(std::string_view text);

}  // namespace partsc
