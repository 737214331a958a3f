// The one table of the command line: every option, the value it takes, the
// settings key that gives its default, the actions it goes with and its
// one-line help; and the forms of a command line, one per action. The help,
// the spellings the session parses and the keys of the everyday mode are
// made from it; the manual page, the README and the bash completion are
// checked against it by a test.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ov_session.h"

namespace partsc {

// What a run does: compile the sources of a control file (the default),
// compile sources in memory only and report their diagnostics (--check),
// print the listing of parts files (--list), write a parts source back from a
// parts file (--decompile), explain a diagnostic (--explain), start a library
// (--init), serve the Language Server Protocol on standard input and output
// (--lsp), build a parts file from its JSON document (--from-json) or say what
// differs between two parts files or sources (--diff).
enum class ActionId {
  kCompile,
  kList,
  kDecompile,
  kExplain,
  kInit,
  kLsp,
  kCheck,
  kFromJson,
  kDiff
};

// A set of actions, one bit each.
using ActionSet = unsigned;
constexpr ActionSet ActionBit(ActionId action) {
  return 1u << static_cast<unsigned>(action);
}

// Each option of the command line.
enum class OptionId {
  kDirectory,
  kSettings,
  kControl,
  kStrict,
  kNoStrict,
  kAtomic,
  kNoAtomic,
  kQuiet,
  kNoQuiet,
  kChanges,
  kRunLog,
  kErrorLog,
  kCheck,
  kKeepGoing,
  kList,
  kFormat,
  kDecompile,
  kFromJson,
  kOutput,
  kForce,
  kDiff,
  kLabel,
  kDiagnosticsFormat,
  kSarif,
  kNoSarif,
  kSarifBase,
  kWarning,
  kWarningsAreErrors,
  kNoWarningsAreErrors,
  kExplain,
  kInit,
  kLsp,
  kHelp,
  kVersion,
};

// What the value of an option is: for the completion, the help and the
// checks of the table.
enum class OptionValue { kNone, kFile, kDirectory, kChoice, kWarning, kDiagnostic };

struct OptionSpec {
  OptionId id;
  std::string_view shortName;  // "-c", or empty
  std::string_view longName;   // "--control", or empty
  std::string_view argument;   // the value it takes ("CONTROL"); empty: none
  OptionValue value;
  std::string_view choices;      // kChoice: the values, separated by blanks
  std::string_view operands;     // what follows an action on the line ("FILE...")
  std::string_view settingsKey;  // the key of the settings file for its default
  ActionSet actions;             // the actions it goes with
  std::string_view help;         // one line; the help wraps it
};

// Every option, in the order of the help.
std::span<const OptionSpec> OptionTable();
const OptionSpec& OptionOf(OptionId id);
// The spellings of the table, at the places of their options, for the
// session's parse: "-Werror" and "-Wno-error" are options of their own; any
// other "-W..." is -W with the rest as its value.
std::span<const OvOptionSpelling> OptionSpellings();
// The action an option starts, if it is one.
std::optional<ActionId> ActionStartedBy(const OptionSpec& option);
// Whether `value` is one of the choices of `option`; "classic, gnu or json".
bool IsChoice(const OptionSpec& option, std::string_view value);
std::string ChoiceWords(const OptionSpec& option);
// "a, b or c".
std::string OrList(const std::vector<std::string>& words);
// The name an option goes by in messages: its long name, else its short one.
std::string_view OptionName(const OptionSpec& option);

// The form of a command line of one action, without the program name
// ("[-C DIR] [-p SETTINGS] --list [--format=FORMAT] FILE..."), and the
// option that starts the action, if one does.
struct UsageForm {
  ActionId action;
  std::optional<OptionId> startedBy;
  std::string_view form;
};
std::span<const UsageForm> UsageForms();
std::string_view UsageFormOf(ActionId action);

// `form` after `lead` and `program`, wrapped at 79 columns, each line after
// the first indented by 10: the lines of the help's usage.
std::string UsageLines(std::string_view lead, std::string_view program, std::string_view form);
// The whole help: the usage lines, a paragraph, and a line for each option.
std::string HelpText(std::string_view program);

}  // namespace partsc
