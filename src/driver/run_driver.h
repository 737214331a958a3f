// One run of partsc: start-up, the control-file loop and the end of the run.
#pragma once

#include <string>

namespace partsc {

// The whole program; answers the exit status.
int RunPartsc(int argc, char** argv);

// Removes trailing tabs, line feeds and blanks; everything else stays.
void TrimLineEnd(std::string& line);

}  // namespace partsc
