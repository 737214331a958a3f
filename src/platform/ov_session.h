// The command line of one run.
#pragma once

#include <string>
#include <vector>

#include "platform/ov_console.h"

namespace partsc {

// What a run does: compile the sources of a control file (the default),
// compile sources in memory only and report their diagnostics (--check),
// print the listing of parts files (--list), write a parts source back from a
// parts file (--decompile), explain a diagnostic (--explain), or serve the
// Language Server Protocol on standard input and output (--lsp).
enum class OvAction { kCompile, kList, kDecompile, kExplain, kLsp, kCheck };

// The options of one run, as its command line gives them; a value the run
// owns.
class OvSession {
 public:
  // Takes the command line apart. True when it is acceptable. "-h"/"--help"
  // and "--version" print their text on the console's standard output and
  // are acceptable; the caller then asks ExitRequested() and ends the run
  // with 0.
  bool ParseCommandLine(int argc, char** argv, OvConsole& console);

  bool ExitRequested() const { return exitRequested_; }
  // The settings file named with -p, or empty.
  const std::string& SettingsPath() const { return settingsPath_; }
  const std::string& ProgramName() const { return programName_; }

  OvAction Action() const { return action_; }
  // The control file named with -c/--control, untrimmed; empty when the name
  // is to be asked for at the prompt.
  const std::string& ControlName() const { return controlName_; }
  // --strict: a run in which an input failed ends with 1.
  bool Strict() const { return strict_; }
  // -q/--quiet: no progress lines on the console.
  bool Quiet() const { return quiet_; }
  // The files named after --list, in command-line order.
  const std::vector<std::string>& ListFiles() const { return listFiles_; }
  // The sources named after --check, in command-line order; empty: those of
  // the control file.
  const std::vector<std::string>& Sources() const { return sources_; }
  // The parts file named with --decompile, and the file named with -o/--output
  // (empty: standard output).
  const std::string& DecompileFile() const { return decompileFile_; }
  const std::string& DecompileOutput() const { return decompileOutput_; }
  // The directories named with -C, in command-line order: the run changes
  // into each in turn, relative to the one before, before anything else.
  const std::vector<std::string>& Directories() const { return directories_; }
  // --atomic (or the settings file's "#PARTS:ATOMIC# = yes"): each parts file
  // is written under a temporary name and put in place only when it compiled
  // and listed.
  bool Atomic() const { return atomic_; }
  // Sets the mode of writing parts files, whatever the command line said;
  // the settings file uses it.
  void SetAtomic(bool atomic) { atomic_ = atomic; }
  // --force: the file named with -o may be overwritten.
  bool Force() const { return force_; }

  // Diagnostics: --diagnostics-format (empty: the error log's lines on the
  // console), --sarif FILE, the -W options in command-line order (without the
  // "-W": "all", "error", "NAME", "no-NAME"), and the name after --explain.
  const std::string& DiagnosticsFormat() const { return diagnosticsFormat_; }
  const std::string& SarifPath() const { return sarifPath_; }
  const std::vector<std::string>& WarningOptions() const { return warningOptions_; }
  const std::string& ExplainName() const { return explainName_; }

  // Why the command line was refused, in the words of GNU programs
  // ("unrecognized option '--bogus'"); empty when it was not.
  const std::string& Refusal() const { return refusal_; }

 private:
  friend struct CommandLineOptions;  // the option table sets the fields below

  // True when the options given together make sense; sets the action.
  bool SettleAction();

  bool exitRequested_ = false;
  std::string settingsPath_;
  std::string programName_;
  OvAction action_ = OvAction::kCompile;
  std::string controlName_;
  bool strict_ = false;
  bool quiet_ = false;
  bool listRequested_ = false;
  std::vector<std::string> listFiles_;
  bool checkRequested_ = false;
  std::vector<std::string> sources_;
  std::string decompileFile_;
  std::string decompileOutput_;
  std::string diagnosticsFormat_;
  std::string sarifPath_;
  std::vector<std::string> warningOptions_;
  std::string explainName_;
  std::string refusal_;
  bool force_ = false;
  bool atomic_ = false;
  bool lsp_ = false;
  std::vector<std::string> directories_;
};

// The version of partsc ("1.0.0").
const char* ProgramVersion();

}  // namespace partsc
