// The actions of the command line that work on parts files: --list and
// --decompile.
#pragma once

#include <string>
#include <vector>

namespace partsc {

class OvFileBytes;
struct RunContext;

// --list: the listing of each file on standard output, in turn; a file that
// cannot be read back is named on standard error. kExitOk or kExitFailed.
int ListFiles(RunContext& run, const std::vector<std::string>& files);

// --decompile: the recovered source to standard output or to `output`; no
// output file is made when the file cannot be recovered, and an existing
// `output` is left as it is unless --force was given. kExitOk or kExitFailed.
int Decompile(RunContext& run, const std::string& file, const std::string& output);

// --from-json: the parts file the JSON document `file` describes, written to
// `output` (an existing one only with --force); nothing is written when the
// document breaks a rule. kExitOk or kExitFailed.
int FromJson(RunContext& run, const std::string& file, const std::string& output);

// --diff: what changed from OLD to NEW, parts files or parts sources
// (compiled in memory), on standard output as text or JSON; `arguments` are
// OLD NEW, or the 7 or 9 that git gives an external diff. kExitOk when they
// are the same, kExitFailed when they differ (for git, kExitOk as well),
// kExitDiffTrouble when one cannot be read or compiled.
int Diff(RunContext& run, const std::vector<std::string>& arguments);

// --changes: one line on standard output for the parts file at `path` (a
// full path) just written and listed, whose bytes the listing read into
// `written`, saying what changed against the file it replaces, `older`
// ("new file" when empty).
void PrintChanges(RunContext& run, const std::string& path, const OvFileBytes& written,
                  const std::string& older);

}  // namespace partsc
