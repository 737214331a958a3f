#include "driver/run_driver.h"
#include "platform/ov_console.h"
#include "platform/ov_signals.h"

int main(int argc, char** argv) {
  partsc::OvSignals::Install();
  partsc::OvConsole console;
  return partsc::RunPartsc(argc, argv, console);
}
