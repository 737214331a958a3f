// The options of one run: its command line, taken apart by the session
// over the option table, and the everyday mode of its settings file, which
// the command line overrides.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/option_table.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_session.h"
#include "platform/ov_settings.h"

namespace partsc {

namespace lsp {
struct CompileSettings;
}

// How --list and --diff print: the listing of the run log, or diff-like
// lines (the default), or JSON.
enum class OutputFormat { kText, kLines, kJson };

// The options of one run, as its command line and its settings file give
// them; a value the run owns.
class RunOptions : public OvCommandLine, public OvSettingsKeys {
 public:
  // Takes the command line apart (OvSession::ParseCommandLine). True when it
  // is acceptable. "-h"/"--help" and "--version" print their text on the
  // console's standard output and are acceptable; the caller then asks
  // ExitRequested() and ends the run with 0.
  bool Parse(int argc, char** argv, OvConsole& console);
  // Reads the settings file named with -p, if one was (initfiles): the class
  // directories into `classes`, the everyday mode into these options. 0 when
  // ready; otherwise -1 after one line on the console's standard error.
  int ReadSettings(OvConsole& console, const std::string& directory, OvClassDirectories& classes,
                   OvSettingsOrigin origin = OvSettingsOrigin::kNamed);
  // What the settings file at `path` gives a document's compile in the
  // language server: read as a run with -p reads it (one that was looked
  // for must be a regular file of the user's own), its problem as the line
  // the run would print, without the program name.
  static lsp::CompileSettings ReadCompileSettings(const std::string& path, OvSettingsOrigin origin);

  bool ExitRequested() const { return Times(OptionId::kHelp) + Times(OptionId::kVersion) > 0; }
  // The settings file named with -p, or empty.
  const std::string& SettingsPath() const { return settingsPath_; }

  ActionId Action() const { return action_; }
  // The control file named with -c/--control, untrimmed; empty when the name
  // is to be asked for at the prompt.
  const std::string& ControlName() const { return controlName_; }
  // Each option that has a settings key (the everyday mode) takes its
  // value from the settings file when the command line does not give it.
  //
  // --strict: a run in which an input failed ends with 1 (or --no-strict).
  bool Strict() const { return strict_.value_or(false); }
  // -q/--quiet: no progress lines on the console (or --no-quiet).
  bool Quiet() const { return quiet_.value_or(false); }
  // The files named after --list or --diff, in command-line order.
  const std::vector<std::string>& ListFiles() const { return listFiles_; }
  // --format=listing (the default; "text" for --diff), lines or json.
  OutputFormat Format() const { return format_; }
  // The names --label gives the sides of --diff, in command-line order.
  const std::vector<std::string>& Labels() const { return labels_; }
  // The sources named after --check, in command-line order; empty: those of
  // the control file.
  const std::vector<std::string>& Sources() const { return sources_; }
  // The parts file named with --decompile, and the file named with -o/--output
  // (empty: standard output).
  const std::string& DecompileFile() const { return decompileFile_; }
  const std::string& DecompileOutput() const { return decompileOutput_; }
  // The JSON document named with --from-json; the parts file goes to -o.
  const std::string& FromJsonFile() const { return fromJsonFile_; }
  // --changes: a compile run prints what changed in each parts file it wrote.
  bool Changes() const { return Times(OptionId::kChanges) > 0; }
  // --keep-going (with --check): a compile reads on after the error that
  // ends it.
  bool KeepGoing() const { return Times(OptionId::kKeepGoing) > 0; }
  // The directories named with -C, in command-line order: the run changes
  // into each in turn, relative to the one before, before anything else.
  const std::vector<std::string>& Directories() const { return directories_; }
  // --atomic: each parts file is written under a temporary name and put in
  // place only when it compiled and listed (or --no-atomic).
  bool Atomic() const { return atomic_.value_or(false); }

  // What the settings file gives the warnings, which the -W options of the
  // command line follow: #PARTS:WERROR#, and the -W options of
  // #PARTS:WARNINGS# (without "-W"), each with the place of its line for a
  // complaint ("ORVA.SET:4: ").
  struct Policy {
    std::optional<bool> warningsAsErrors;
    std::vector<std::pair<std::string, std::string>> warnings;
  };
  const Policy& SettingsPolicy() const { return policy_; }
  // --force: the file named with -o may be overwritten.
  bool Force() const { return Times(OptionId::kForce) > 0; }

  // Diagnostics: --diagnostics-format (empty: the error log's lines on the
  // console), --sarif FILE (--no-sarif: none), the -W options in
  // command-line order (without the "-W": "all", "error", "NAME",
  // "no-NAME"), and the name after --explain.
  const std::string& DiagnosticsFormat() const { return diagnosticsFormat_; }
  std::string SarifPath() const {
    return Times(OptionId::kNoSarif) > 0 ? std::string() : sarifPath_;
  }
  // --sarif-base DIR: the directory the SARIF log's URIs are relative to;
  // empty when none is given.
  const std::string& SarifBase() const { return sarifBase_; }
  const std::vector<std::string>& WarningOptions() const { return warningOptions_; }
  // --run-log FILE and --error-log FILE: where the run log and the error log
  // go; empty for their own names in the current directory. A settings
  // file's path is absolute, taken from its directory.
  const std::string& RunLogPath() const { return runLogPath_; }
  const std::string& ErrorLogPath() const { return errorLogPath_; }
  const std::string& ExplainName() const { return explainName_; }
  // The directory named after --init ("." when none was).
  const std::string& InitDirectory() const { return initDirectory_; }

  // Why the command line was refused, in the words of GNU programs
  // ("unrecognized option '--bogus'", naming the options that do not go
  // together); empty when it was not.
  const std::string& Refusal() const { return refusal_; }
  // The action a refused command line was meant for, when it named one
  // ("--diff"); its usage form helps.
  std::optional<ActionId> RefusedAction() const { return refusedAction_; }

  // The session's side of the parse (OvCommandLine).
  std::span<const OvOptionSpelling> Options() const override { return OptionSpellings(); }
  Taken TakeOption(size_t index, std::string_view spelling, std::string_view value) override;
  bool TakeOperand(std::string_view word) override;
  // Sets the action: the one the options given start. Empty when the
  // options given go with it, else what does not go together.
  std::string Settle() override;
  // The settings file's side (OvSettingsKeys): the keys of the everyday
  // mode, each the default of an option.
  bool Knows(std::string_view key) const override;
  bool Take(OvConsole& console, std::string_view key, std::string_view value,
            const OvSettingsLine& line) override;

 private:
  // Takes one option with its value; false when the value is not one it
  // takes, or is given twice.
  bool Apply(const OptionSpec& option, std::string_view value);
  // How many times the option was given.
  std::ptrdiff_t Times(OptionId id) const {
    return std::ranges::count(given_, id, &std::pair<OptionId, std::string>::first);
  }
  // Where a yes-or-no key of the everyday mode goes, and one that names a
  // file or a directory (the option's own value); null for another.
  std::optional<bool>* SwitchOf(OptionId id);
  std::string* PathOf(OptionId id);

  std::string settingsPath_;
  ActionId action_ = ActionId::kCompile;
  std::string controlName_;
  std::optional<bool> strict_;  // --strict, --no-strict
  std::optional<bool> quiet_;   // -q, --no-quiet
  OutputFormat format_ = OutputFormat::kText;
  std::vector<std::string> listFiles_;
  std::vector<std::string> labels_;
  std::string fromJsonFile_;
  std::vector<std::string> sources_;
  std::string decompileFile_;
  std::string decompileOutput_;
  std::string diagnosticsFormat_;
  std::string sarifPath_;
  std::string sarifBase_;
  std::string runLogPath_;
  std::string errorLogPath_;
  std::vector<std::string> warningOptions_;
  std::string explainName_;
  std::string initDirectory_;
  std::string refusal_;
  std::optional<ActionId> refusedAction_;
  // The options given, each with the spelling it was given in ("-o").
  std::vector<std::pair<OptionId, std::string>> given_;
  std::optional<bool> atomic_;  // --atomic, --no-atomic
  Policy policy_;
  std::vector<std::string> directories_;
};

}  // namespace partsc
