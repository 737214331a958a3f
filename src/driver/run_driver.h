// One run of partsc: start-up, the control-file loop and the end of the run.
#pragma once

namespace partsc {

// The whole program; answers the exit status.
int RunPartsc(int argc, char** argv);

}  // namespace partsc
