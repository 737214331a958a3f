// One run of partsc: start-up, the control-file loop and the end of the run.
#pragma once

namespace partsc {

// Exit statuses of a run.
inline constexpr int kExitOk = 0;
// A --strict run in which an input failed; a file that --list or
// --decompile could not handle.
inline constexpr int kExitFailed = 1;
// The run stopped early.
inline constexpr int kExitStop = -1;

// The whole program; answers the exit status.
int RunPartsc(int argc, char** argv);

}  // namespace partsc
