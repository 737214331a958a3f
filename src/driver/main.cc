#include "driver/run_driver.h"

int main(int argc, char** argv) {
  return partsc::RunPartsc(argc, argv);
}
