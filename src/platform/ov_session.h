// The command line of one run, and the preparation of file-name resolution.
#pragma once

#include <string>
#include <vector>

namespace partsc {

class OvSession {
 public:
  static OvSession& GetInstance();

  // Takes the command line apart. True when it is acceptable. "-h"/"--help"
  // and "--version" print their text on standard output and are acceptable;
  // the caller then asks ExitRequested() and ends the run with 0.
  bool ParseCommandLine(int argc, char** argv);

  bool ExitRequested() const { return exitRequested_; }
  // The settings file named with -p, or empty.
  const std::string& SettingsPath() const { return settingsPath_; }
  const std::string& ProgramName() const { return programName_; }

  // Back to the state before any command line; for tests.
  void Reset();

 private:
  OvSession() = default;

  bool exitRequested_ = false;
  std::string settingsPath_;
  std::string programName_;
};

// Prepares file-name resolution: reads the settings file of the session (when
// one was named), checks every class directory and SOURCE_DATE_EPOCH. 0 when
// ready; otherwise one line naming the problem has been printed on standard
// error and the answer is -1.
int initfiles();

}  // namespace partsc
