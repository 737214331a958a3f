// The actions of the command line that work on parts files: --list and
// --decompile.
#pragma once

#include <string>
#include <vector>

namespace partsc {

struct RunContext;

// --list: the listing of each file on standard output, in turn; a file that
// cannot be read back is named on standard error. kExitOk or kExitFailed.
int ListFiles(RunContext& run, const std::vector<std::string>& files);

// --decompile: the recovered source to standard output or to `output`; no
// output file is made when the file cannot be recovered, and an existing
// `output` is left as it is unless --force was given. kExitOk or kExitFailed.
int Decompile(RunContext& run, const std::string& file, const std::string& output);

}  // namespace partsc
