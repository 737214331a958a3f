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

// What became of a command line: the session's answer, and the action the
// command line was meant for (a refused one's usage form helps; the compile
// when it named none, or named more than one).
struct ParsedCommandLine {
  OvResult<OvParse> result;
  ActionId action = ActionId::kCompile;

  bool Ok() const { return result.Ok(); }
};

// The options of one run, as its command line and its settings file give
// them; a value the run owns. Each option that has a settings key (the
// everyday mode) takes its value from the settings file when the command
// line does not give it.
struct RunOptions : OvCommandLine, OvSettingsKeys {
  // Takes the command line apart (OvSession::ParseCommandLine); a refused
  // one leaves the options as they start. "-h"/"--help" and "--version"
  // print their text on the console's standard output and are accepted; the
  // caller then asks ExitRequested() and ends the run with 0.
  ParsedCommandLine Parse(int argc, char** argv, OvConsole& console);
  // Reads the settings file named with -p, if one was (initfiles): the class
  // directories into `classes`, the everyday mode into these options. None
  // when ready; else the line to Complain of, the options as before.
  std::optional<std::string> ReadSettings(const std::string& directory, OvClassDirectories& classes,
                                          OvSettingsOrigin origin = OvSettingsOrigin::kNamed);
  // What the settings file at `path` gives a document's compile in the
  // language server: read as a run with -p reads it (one that was looked
  // for must be a regular file of the user's own), its problem as the line
  // the run would print, without the program name.
  static lsp::CompileSettings ReadCompileSettings(const std::string& path, OvSettingsOrigin origin);

  // Whether the option was given: --changes, --keep-going (with --check: a
  // compile reads on after the error that ends it), --force (the file named
  // with -o may be overwritten).
  bool Given(OptionId id) const { return Times(id) > 0; }
  bool ExitRequested() const { return Given(OptionId::kHelp) || Given(OptionId::kVersion); }
  // --sarif FILE, unless --no-sarif was given; empty: none.
  std::string SarifPath() const { return Given(OptionId::kNoSarif) ? std::string() : sarif; }

  // The session's side of the parse (OvCommandLine).
  std::span<const OvOptionSpelling> Options() const override { return OptionSpellings(); }
  Taken TakeOption(size_t index, std::string_view spelling, std::string_view value) override;
  bool TakeOperand(std::string_view word) override;
  // Sets the action: the one the options given start. None when the
  // options given go with it, else what does not go together.
  std::optional<std::string> Settle() override;
  // The settings file's side (OvSettingsKeys): the keys of the everyday
  // mode, each the default of an option.
  bool Knows(std::string_view key) const override;
  bool Take(OvConsole& console, std::string_view key, std::string_view value,
            const OvSettingsLine& line) override;

  ActionId action = ActionId::kCompile;
  std::string settingsPath;  // -p, or empty
  // -c/--control, untrimmed; empty when the name is to be asked for at the
  // prompt.
  std::string controlName;
  // --strict (a run in which an input failed ends with 1), --atomic (each
  // parts file is written under a temporary name and put in place only when
  // it compiled and listed) and -q/--quiet (no progress lines), or their
  // --no- forms; unset when neither is given, and then off.
  std::optional<bool> strict;
  std::optional<bool> atomic;
  std::optional<bool> quiet;
  // The files named after --list or --diff, and the sources named after
  // --check (empty: those of the control file), in command-line order.
  std::vector<std::string> listFiles;
  std::vector<std::string> sources;
  // --format=listing (the default; "text" for --diff), lines or json.
  OutputFormat format = OutputFormat::kText;
  std::vector<std::string> labels;  // --label: the sides of --diff, in order
  std::string decompileFile;        // --decompile
  std::string fromJsonFile;         // --from-json
  std::string output;               // -o/--output; empty: standard output
  // -C: the run changes into each in turn, relative to the one before,
  // before anything else.
  std::vector<std::string> directories;
  // --diagnostics-format (empty: the error log's lines on the console);
  // --sarif FILE, which SarifPath() gives; and --sarif-base DIR, the
  // directory the SARIF log's URIs are relative to.
  std::string diagnosticsFormat;
  std::string sarif;
  std::string sarifBase;
  // --run-log FILE and --error-log FILE: where the run log and the error log
  // go; empty for their own names in the current directory. A settings
  // file's path is absolute, taken from its directory.
  std::string runLogPath;
  std::string errorLogPath;
  // The -W options in command-line order, without the "-W": "all", "error",
  // "NAME", "no-NAME".
  std::vector<std::string> warningOptions;
  std::string explainName;    // --explain
  std::string initDirectory;  // --init; "." when none was named
  // What the settings file gives the warnings, which the -W options of the
  // command line follow: #PARTS:WERROR#, and the -W options of
  // #PARTS:WARNINGS# (without "-W"), each with the place of its line for a
  // complaint ("ORVA.SET:4: ").
  std::optional<bool> settingsWerror;
  std::vector<std::pair<std::string, std::string>> settingsWarnings;

 private:
  // Takes one option with its value; false when the value is not one it
  // takes, or is given twice.
  bool Apply(const OptionSpec& option, std::string_view value);
  std::ptrdiff_t Times(OptionId id) const {
    return std::ranges::count(given_, id, &std::pair<OptionId, std::string>::first);
  }
  // Where an option that turns a switch on or off goes, and one that takes
  // a text given once; null for another.
  std::optional<bool>* SwitchOf(OptionId id);
  std::string* TextOf(OptionId id);

  // The options given, each with the spelling it was given in ("-o").
  std::vector<std::pair<OptionId, std::string>> given_;
};

}  // namespace partsc
