// One run of partsc: start-up, the control-file loop and the end of the run.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace partsc {

// Exit statuses of a run.
inline constexpr int kExitOk = 0;
// A --strict run in which an input failed; a file that --list or
// --decompile could not handle.
inline constexpr int kExitFailed = 1;
// --diff: the files differ (kExitFailed's 1), or there was trouble.
inline constexpr int kExitDiffTrouble = 2;
// The run stopped early.
inline constexpr int kExitStop = -1;
// A signal ended the run: this plus the signal's number.
inline constexpr int kExitSignal = 128;
// A lock that another process held for longer than the lock wait stopped the
// run (EX_TEMPFAIL of sysexits.h: try again later).
inline constexpr int kExitLocked = 75;

class OvConsole;
class DiagnosticSink;
namespace lsp {
struct LibraryRun;
}

// What a program that runs partsc inside itself (the language server's check
// of a library) gives a run besides its command line.
struct RunExtras {
  // Texts that stand for the files of these full paths: the control file and
  // the sources as an editor holds them.
  std::map<std::string, std::string> texts;
  // Receives every diagnostic record of the run; not owned.
  DiagnosticSink* sink = nullptr;
  // Gets the full path of each source the run compiles, in order.
  std::vector<std::string>* inputs = nullptr;
};

// One whole run of the program on the command line `argc`/`argv`, with
// `console` as its standard input, output and error, in `directory` (empty:
// the current directory of the process); answers the exit status. Runs share
// nothing: several may go on at once on different threads.
int RunPartsc(int argc, char** argv, OvConsole& console, const std::string& directory = {},
              const RunExtras& extras = {});

// The language server's check of a library: the run of --check on its
// control file, every output in memory, the editor's texts in place of their
// files; every record goes to `sink`, the full path of each source compiled
// to `inputs`.
void CheckLibraryRun(const lsp::LibraryRun& request, DiagnosticSink& sink,
                     std::vector<std::string>& inputs);

}  // namespace partsc
