// --check: every source compiled in memory, its diagnostics reported, and no
// file written.
#pragma once

namespace partsc {

struct RunContext;

// Compiles the sources named on the command line, or else those of the
// control file (given with -c or asked for), each in memory, and reports
// their diagnostics in the run's format. Writes no parts file, backup, run
// log, error log or lock; only a SARIF log named with --sarif is written.
// kExitOk when every source compiled; kExitFailed when one did not, with
// -Werror when anything warned, or when standard output or the SARIF log
// could not be written; kExitStop when the control file cannot be read;
// 128 + the signal that ended the run.
int CheckSources(RunContext& run);

}  // namespace partsc
