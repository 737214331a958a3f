#include "driver/run_driver.h"
#include "platform/ov_console.h"

int main(int argc, char** argv) {
  partsc::OvConsole console;
  return partsc::RunPartsc(argc, argv, console);
}
