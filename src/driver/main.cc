#include <new>

#include "driver/run_driver.h"
#include "platform/ov_console.h"
#include "platform/ov_file_bytes.h"
#include "platform/ov_signals.h"

int main(int argc, char** argv) {
  // Nothing the run opens may take the number of a closed standard stream.
  partsc::OvSignals::OpenStandardDescriptors();
  partsc::OvSignals::Install();
  partsc::OvFileBytes::InstallGuard();
  partsc::OvConsole console;
  try {
    return partsc::RunPartsc(argc, argv, console);
  } catch (const std::bad_alloc&) {
    // What was being written has been removed or named on the way out.
    partsc::Complain(console, "out of memory");
    return partsc::kExitFailed;
  }
}
