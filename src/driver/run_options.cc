#include "driver/run_options.h"

#include <partsc/version.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/warning_set.h"
#include "lsp/analysis.h"

namespace partsc {
namespace {

// Stores the value of an option that may be given once; false for a second
// time or an empty value.
bool TakeOnce(std::string& setting, std::string_view value) {
  if (!setting.empty() || value.empty()) {
    return false;
  }
  setting = std::string(value);
  return true;
}

// Appended piece by piece, as g++ 12 warns of `"'" + std::string(name)`
// (a false positive of its -Wrestrict).
std::string Quoted(std::string_view name) {
  return std::string("'").append(name).append("'");
}

// "'--decompile' or '--from-json'": the actions of a set, by their options.
std::string ActionNames(ActionSet actions) {
  std::vector<std::string> names;
  for (const OptionSpec& option : OptionTable()) {
    const std::optional<ActionId> started = ActionStartedBy(option);
    if (started && (actions & ActionBit(*started)) != 0) {
      names.push_back(Quoted(OptionName(option)));
    }
  }
  return OrList(names);
}

// The option whose default a key of the everyday mode gives, or null.
const OptionSpec* ModeKeyOption(std::string_view key) {
  const std::span<const OptionSpec> table = OptionTable();
  const auto found = std::ranges::find_if(table, [key](const OptionSpec& option) {
    return !option.settingsKey.empty() && option.settingsKey == key;
  });
  return found == table.end() ? nullptr : &*found;
}

// The options that take a text, given once.
constexpr std::pair<OptionId, std::string RunOptions::*> kTexts[] = {
    {OptionId::kSettings, &RunOptions::settingsPath},
    {OptionId::kControl, &RunOptions::controlName},
    {OptionId::kRunLog, &RunOptions::runLogPath},
    {OptionId::kErrorLog, &RunOptions::errorLogPath},
    {OptionId::kDecompile, &RunOptions::decompileFile},
    {OptionId::kFromJson, &RunOptions::fromJsonFile},
    {OptionId::kOutput, &RunOptions::output},
    {OptionId::kDiagnosticsFormat, &RunOptions::diagnosticsFormat},
    {OptionId::kSarif, &RunOptions::sarif},
    {OptionId::kSarifBase, &RunOptions::sarifBase},
    {OptionId::kExplain, &RunOptions::explainName},
};

// The switches: the option that turns each on, the one that turns it off.
struct Switch {
  OptionId on;
  OptionId off;
  std::optional<bool> RunOptions::*field;
};
constexpr Switch kSwitches[] = {
    {OptionId::kStrict, OptionId::kNoStrict, &RunOptions::strict},
    {OptionId::kAtomic, OptionId::kNoAtomic, &RunOptions::atomic},
    {OptionId::kQuiet, OptionId::kNoQuiet, &RunOptions::quiet},
};

}  // namespace

std::string* RunOptions::TextOf(OptionId id) {
  const auto* found =
      std::ranges::find(kTexts, id, &std::pair<OptionId, std::string RunOptions::*>::first);
  return found == std::end(kTexts) ? nullptr : &(this->*found->second);
}

std::optional<bool>* RunOptions::SwitchOf(OptionId id) {
  const auto* found =
      std::ranges::find_if(kSwitches, [id](const Switch& s) { return s.on == id || s.off == id; });
  return found == std::end(kSwitches) ? nullptr : &(this->*found->field);
}

bool RunOptions::Apply(const OptionSpec& option, std::string_view value) {
  const OptionId id = option.id;
  if (option.value == OptionValue::kChoice && !IsChoice(option, value)) {
    return false;
  }
  if (std::string* text = TextOf(id); text != nullptr) {
    return TakeOnce(*text, value);
  }
  if (std::optional<bool>* field = SwitchOf(id); field != nullptr) {
    // The option of the switch's settings key turns it on.
    *field = !option.settingsKey.empty();
    return true;
  }
  switch (id) {
    case OptionId::kDirectory:
      directories.emplace_back(value);
      return !value.empty();
    case OptionId::kFormat:
      format = value == "json"    ? OutputFormat::kJson
               : value == "lines" ? OutputFormat::kLines
                                  : OutputFormat::kText;
      return Times(OptionId::kFormat) == 1;
    case OptionId::kLabel:
      labels.emplace_back(value);
      return labels.size() <= 2;
    case OptionId::kWarning:
      warningOptions.emplace_back(value);
      return !value.empty();
    case OptionId::kWarningsAreErrors:
    case OptionId::kNoWarningsAreErrors:
      warningOptions.emplace_back(id == OptionId::kWarningsAreErrors ? "error" : "no-error");
      return true;
    case OptionId::kInit:
      return Times(OptionId::kInit) == 1;
    default:
      // The others only need to have been given (Given).
      return true;
  }
}

std::optional<std::string> RunOptions::Settle() {
  // The action: the one action option given, or the compile of a control
  // file.
  const OptionSpec* actionOption = nullptr;
  for (const auto& [id, spelling] : given_) {
    const OptionSpec& option = OptionOf(id);
    if (!ActionStartedBy(option) || actionOption == &option) {
      continue;
    }
    if (actionOption != nullptr) {
      return "options " + Quoted(OptionName(*actionOption)) + " and " + Quoted(spelling) +
             " do not go together";
    }
    actionOption = &option;
  }
  action = actionOption != nullptr ? *ActionStartedBy(*actionOption) : ActionId::kCompile;
  for (const auto& [id, spelling] : given_) {
    const OptionSpec& option = OptionOf(id);
    if ((option.actions & ActionBit(action)) != 0) {
      continue;
    }
    if (actionOption == nullptr) {
      return "option " + Quoted(spelling) + " goes with " + ActionNames(option.actions) + " only";
    }
    return "option " + Quoted(spelling) + " does not go with " + Quoted(OptionName(*actionOption));
  }
  const bool outputGiven = !output.empty();
  switch (action) {
    case ActionId::kList:
      return listFiles.empty()
                 ? std::optional<std::string>("option '--list' needs at least one FILE")
                 : std::nullopt;
    case ActionId::kDiff:
      if (format == OutputFormat::kLines) {
        return "option '--format=lines' goes with '--list' only";
      }
      // Git runs an external diff with 7 arguments, 9 for a renamed file.
      if (listFiles.size() != 2 && listFiles.size() != 7 && listFiles.size() != 9) {
        return "option '--diff' compares two files, OLD and NEW, not " +
               std::to_string(listFiles.size());
      }
      break;
    case ActionId::kFromJson:
      if (!outputGiven) {
        return "option '--from-json' needs -o OUT, the parts file it writes";
      }
      break;
    case ActionId::kCheck:
      if (!sources.empty() && !controlName.empty()) {
        return "option '--check' takes SOURCE... or -c CONTROL, not both";
      }
      break;
    case ActionId::kInit:
      initDirectory = initDirectory.empty() ? "." : initDirectory;
      break;
    default:
      break;
  }
  return Given(OptionId::kForce) && !outputGiven
             ? std::optional<std::string>("option '--force' needs -o OUT, the file it overwrites")
             : std::nullopt;
}

RunOptions::Taken RunOptions::TakeOption(size_t index, std::string_view spelling,
                                         std::string_view value) {
  const OptionSpec& option = OptionTable()[index];
  given_.emplace_back(option.id, std::string(spelling));
  if (!Apply(option, value)) {
    return Taken::kRefused;
  }
  return ExitRequested() ? Taken::kEnd : Taken::kTaken;
}

bool RunOptions::TakeOperand(std::string_view word) {
  // A file to list or compare, a source to check, or the one directory of
  // --init.
  if (Given(OptionId::kInit) && initDirectory.empty() && !word.empty()) {
    initDirectory = std::string(word);
    return true;
  }
  const bool files = Given(OptionId::kList) || Given(OptionId::kDiff);
  (files ? listFiles : sources).emplace_back(word);
  return files || Given(OptionId::kCheck);
}

ParsedCommandLine RunOptions::Parse(int argc, char** argv, OvConsole& console) {
  *this = RunOptions();
  OvSession session(*this);
  ParsedCommandLine parsed{session.ParseCommandLine(argc, argv), action};
  if (!parsed.Ok()) {
    // A refused command line leaves no options behind.
    *this = RunOptions();
    return parsed;
  }
  if (Given(OptionId::kHelp)) {
    console.Out().Fprintf("%s", HelpText(session.ProgramName()).c_str());
  } else if (Given(OptionId::kVersion)) {
    console.Out().Fprintf("partsc %s\n", PARTSC_VERSION_STRING);
  }
  console.Out().Fflush();
  return parsed;
}

bool RunOptions::Knows(std::string_view key) const {
  return ModeKeyOption(key) != nullptr;
}

bool RunOptions::Take(OvConsole& console, std::string_view key, std::string_view value,
                      const OvSettingsLine& line) {
  const OptionSpec& option = *ModeKeyOption(key);
  const std::string complaint = line.where + "key " + QuotedSetting(key) + " takes ";
  std::optional<bool>* field =
      option.id == OptionId::kWarningsAreErrors ? &settingsWerror : SwitchOf(option.id);
  if (field != nullptr) {
    if (value != "yes" && value != "no") {
      Complain(console, complaint + "yes or no, not " + QuotedSetting(value));
      return false;
    }
    *field = field->value_or(value == "yes");
    return true;
  }
  const bool choice = option.value == OptionValue::kChoice;
  if (choice && !IsChoice(option, value)) {
    Complain(console, complaint + ChoiceWords(option) + ", not " + QuotedSetting(value));
    return false;
  }
  if (std::string* text = TextOf(option.id); text != nullptr) {
    // A file or directory is taken from the settings file's directory.
    *text = !text->empty() ? *text : choice ? std::string(value) : line.Absolute(value);
    return true;
  }
  // The -W options of the warnings key, separated by blanks, tabs or commas.
  for (size_t at = 0; at < value.size();) {
    const size_t end = std::min(value.find_first_of(" \t,", at), value.size());
    if (end > at) {
      settingsWarnings.emplace_back(std::string(value.substr(at, end - at)), line.where);
    }
    at = end + 1;
  }
  return true;
}

std::optional<std::string> RunOptions::ReadSettings(const std::string& directory,
                                                    OvClassDirectories& classes,
                                                    OvSettingsOrigin origin) {
  // The command line wins over each key; a file refused gives none.
  const RunOptions given = *this;
  OvConsole console(OvConsole::InMemory{});
  if (initfiles(console, settingsPath, directory, classes, *this, origin) == 0) {
    return std::nullopt;
  }
  *this = given;
  return console.Complaints().empty() ? std::string() : console.Complaints().back();
}

lsp::CompileSettings RunOptions::ReadCompileSettings(const std::string& path,
                                                     OvSettingsOrigin origin) {
  lsp::CompileSettings settings;
  settings.settingsPath = path;
  RunOptions options;
  options.settingsPath = path;
  OvClassDirectories classes;
  if (const auto problem = options.ReadSettings(OvFile::DirectoryOf(path), classes, origin)) {
    settings.problem = "settings file " + *problem;
    return settings;
  }
  settings.partsDirectory = classes.Of(kClassParts);
  for (const auto& [option, where] : options.settingsWarnings) {
    if (!IsWarningOption(option)) {
      settings.problem = "settings file " + where + "unknown warning \"" + option + "\"";
      continue;
    }
    settings.warnings.push_back(option);
  }
  return settings;
}

}  // namespace partsc
