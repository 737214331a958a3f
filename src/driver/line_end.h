// Cleaning the end of a line read from a control or source file.
#pragma once

#include <string>

namespace partsc {

// Removes trailing tabs, line feeds and blanks; a carriage return and every
// other character stay, and the start of the line is never touched.
void TrimLineEnd(std::string& line);

}  // namespace partsc
