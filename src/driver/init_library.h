// partsc --init [DIR]: starts a parts library.
#pragma once

#include <string>

namespace partsc {

struct RunContext;

// The name --init gives the control file (the settings file has its own).
inline constexpr const char* kInitControlName = "LIBRARY.CTL";

// Makes `directory` (taken from the run's directory) with its folders src/
// and parts/, writes the settings file with the recommended everyday mode
// and a control file that names the sources already in src/, and says on
// standard output what it did and what to run next. A file that exists is
// kept as it is, never overwritten. kExitOk, or kExitFailed after a line on
// standard error naming what could not be made and why.
int InitLibrary(RunContext& run, const std::string& directory);

}  // namespace partsc
