// The control file of a run: its name, given with -c or asked for at the
// prompt, and the walk over the sources it names.
#pragma once

#include <functional>
#include <string>

#include "platform/ov_result.h"

namespace partsc {

struct RunContext;
class OvFileIO;

// The full path of the run's control file: the name given with -c, or else
// the one typed at the prompt, trimmed and resolved under #PARTS:CTL#, with
// kExitOk; or, after saying why there is no name, no path and the status
// the run ends with: kExitStop, or 128 + the signal that came at the prompt.
struct ControlPath {
  std::string path;
  int status = 0;
};
ControlPath TakeControlPath(RunContext& run);

// Opens the control file for reading into `control`. False after reporting
// that it cannot be opened: the error-log line names no file, so in the
// classic format standard error then says which, and why.
bool OpenControlFile(RunContext& run, const std::string& controlPath, OvFileIO& control);

// How a walk over the sources ended: at the end of its list or at a signal,
// or after a source whose parts file another run held locked for longer than
// the lock wait, with why the run stops there.
enum class WalkStatus { kWalked, kLocked };
using WalkResult = OvResult<WalkStatus>;
// A source taken: how the walk goes on, and the source's full path.
struct TakenInput : WalkResult {
  std::string path;
};

// Reads the control file piece by piece and hands every line that is neither
// empty nor a comment to `input`, with the number of its physical line, and
// `input` answers the full path of the source it took and whether the walk
// goes on. A comment line that is the absolute path of an existing file is
// warned about (-Wcomment-names-file). A signal ends the walk before the next
// source and is reported with where it came. A control file that names no
// source is warned about (-Wempty-control).
WalkResult WalkControlFile(RunContext& run, const std::string& controlPath, OvFileIO& control,
                           const std::function<TakenInput(const std::string&, int)>& input);

// The progress line of a source, "Input file name": printed at once, or with
// -q held back until the source's first diagnostic on the console.
void AnnounceSource(RunContext& run, const std::string& inputPath);

// Reports the signal that ends the run, at the place `where` says.
void ReportInterruption(RunContext& run, const std::string& where);

// Reports the signal that stops a walk of the sources before the next one:
// before the first source, or after compiling `lastInput`.
void ReportInterruptionAfter(RunContext& run, const std::string& lastInput);

}  // namespace partsc
