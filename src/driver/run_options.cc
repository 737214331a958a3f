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
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  }
  return text;
}

}  // namespace

bool RunOptions::Apply(const OptionSpec& option, std::string_view value) {
  switch (option.id) {
    case OptionId::kDirectory:
      if (value.empty()) {
        return false;
      }
      directories_.emplace_back(value);
      return true;
    case OptionId::kSettings:
      return TakeOnce(settingsPath_, value);
    case OptionId::kControl:
      return TakeOnce(controlName_, value);
    case OptionId::kStrict:
    case OptionId::kNoStrict:
      strict_ = option.id == OptionId::kStrict;
      return true;
    case OptionId::kAtomic:
    case OptionId::kNoAtomic:
      atomic_ = option.id == OptionId::kAtomic;
      return true;
    case OptionId::kQuiet:
    case OptionId::kNoQuiet:
      quiet_ = option.id == OptionId::kQuiet;
      return true;
    case OptionId::kRunLog:
      return TakeOnce(runLogPath_, value);
    case OptionId::kErrorLog:
      return TakeOnce(errorLogPath_, value);
    case OptionId::kFormat:
      if (Times(OptionId::kFormat) > 1 || !IsChoice(option, value)) {
        return false;
      }
      format_ = value == "json"    ? OutputFormat::kJson
                : value == "lines" ? OutputFormat::kLines
                                   : OutputFormat::kText;
      return true;
    case OptionId::kDecompile:
      return TakeOnce(decompileFile_, value);
    case OptionId::kFromJson:
      return TakeOnce(fromJsonFile_, value);
    case OptionId::kOutput:
      return TakeOnce(decompileOutput_, value);
    case OptionId::kLabel:
      labels_.emplace_back(value);
      return labels_.size() <= 2;
    case OptionId::kDiagnosticsFormat:
      return IsChoice(option, value) && TakeOnce(diagnosticsFormat_, value);
    case OptionId::kSarif:
      return TakeOnce(sarifPath_, value);
    case OptionId::kSarifBase:
      return TakeOnce(sarifBase_, value);
    case OptionId::kWarning:
      warningOptions_.emplace_back(value);
      return !value.empty();
    case OptionId::kWarningsAreErrors:
    case OptionId::kNoWarningsAreErrors:
      warningOptions_.emplace_back(option.id == OptionId::kWarningsAreErrors ? "error"
                                                                             : "no-error");
      return true;
    case OptionId::kExplain:
      return TakeOnce(explainName_, value);
    case OptionId::kInit:
      return Times(OptionId::kInit) == 1;
    // Options that only need to have been given (Times).
    case OptionId::kKeepGoing:
    case OptionId::kChanges:
    case OptionId::kCheck:
    case OptionId::kList:
    case OptionId::kForce:
    case OptionId::kDiff:
    case OptionId::kNoSarif:
    case OptionId::kLsp:
    case OptionId::kHelp:
    case OptionId::kVersion:
      return true;
  }
  return false;
}

std::string RunOptions::Settle() {
  // The action: the one action option given, or the compile of a control
  // file.
  const OptionSpec* actionOption = nullptr;
  for (const auto& [id, spelling] : given_) {
    const OptionSpec& option = OptionOf(id);
    const std::optional<ActionId> started = ActionStartedBy(option);
    if (!started || actionOption == &option) {
      continue;
    }
    if (actionOption != nullptr) {
      return "options " + Quoted(OptionName(*actionOption)) + " and " + Quoted(spelling) +
             " do not go together";
    }
    actionOption = &option;
    action_ = *started;
  }
  refusedAction_ = action_;
  for (const auto& [id, spelling] : given_) {
    const OptionSpec& option = OptionOf(id);
    if ((option.actions & ActionBit(action_)) != 0) {
      continue;
    }
    if (actionOption == nullptr) {
      return "option " + Quoted(spelling) + " goes with " + ActionNames(option.actions) + " only";
    }
    return "option " + Quoted(spelling) + " does not go with " + Quoted(OptionName(*actionOption));
  }
  const bool outputGiven = !decompileOutput_.empty();
  switch (action_) {
    case ActionId::kList:
      return listFiles_.empty() ? "option '--list' needs at least one FILE" : "";
    case ActionId::kDiff:
      if (format_ == OutputFormat::kLines) {
        return "option '--format=lines' goes with '--list' only";
      }
      // Git runs an external diff with 7 arguments, 9 for a renamed file.
      if (listFiles_.size() == 2 || listFiles_.size() == 7 || listFiles_.size() == 9) {
        return "";
      }
      return "option '--diff' compares two files, OLD and NEW, not " +
             std::to_string(listFiles_.size());
    case ActionId::kFromJson:
      if (!outputGiven) {
        return "option '--from-json' needs -o OUT, the parts file it writes";
      }
      break;
    case ActionId::kCheck:
      if (!sources_.empty() && !controlName_.empty()) {
        return "option '--check' takes SOURCE... or -c CONTROL, not both";
      }
      break;
    case ActionId::kInit:
      initDirectory_ = initDirectory_.empty() ? "." : initDirectory_;
      break;
    default:
      break;
  }
  return Times(OptionId::kForce) > 0 && !outputGiven
             ? "option '--force' needs -o OUT, the file it overwrites"
             : "";
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
  if (Times(OptionId::kInit) > 0 && initDirectory_.empty() && !word.empty()) {
    initDirectory_ = std::string(word);
    return true;
  }
  const bool files = Times(OptionId::kList) + Times(OptionId::kDiff) > 0;
  (files ? listFiles_ : sources_).emplace_back(word);
  return files || Times(OptionId::kCheck) > 0;
}

bool RunOptions::Parse(int argc, char** argv, OvConsole& console) {
  *this = RunOptions();
  OvSession session(*this);
  const bool accepted = session.ParseCommandLine(argc, argv);
  if (!accepted) {
    // A refused command line leaves nothing behind but the reason and the
    // action it was meant for.
    RunOptions refused;
    refused.refusal_ = session.Refusal();
    refused.refusedAction_ = refusedAction_;
    *this = std::move(refused);
    return false;
  }
  if (Times(OptionId::kHelp) > 0) {
    console.Out().Fprintf("%s", HelpText(session.ProgramName()).c_str());
  } else if (Times(OptionId::kVersion) > 0) {
    console.Out().Fprintf("partsc %s\n", PARTSC_VERSION_STRING);
  }
  console.Out().Fflush();
  return true;
}

namespace {

// The option whose default a key of the everyday mode gives, or null.
const OptionSpec* ModeKeyOption(std::string_view key) {
  for (const OptionSpec& option : OptionTable()) {
    if (!option.settingsKey.empty() && option.settingsKey == key) {
      return &option;
    }
  }
  return nullptr;
}

std::string DoubleQuoted(std::string_view text) {
  return std::string("\"").append(text).append("\"");
}

}  // namespace

bool RunOptions::Knows(std::string_view key) const {
  return ModeKeyOption(key) != nullptr;
}

std::optional<bool>* RunOptions::SwitchOf(OptionId id) {
  switch (id) {
    case OptionId::kAtomic:
      return &atomic_;
    case OptionId::kStrict:
      return &strict_;
    case OptionId::kWarningsAreErrors:
      return &policy_.warningsAsErrors;
    case OptionId::kQuiet:
      return &quiet_;
    default:
      return nullptr;
  }
}

std::string* RunOptions::PathOf(OptionId id) {
  switch (id) {
    case OptionId::kSarif:
      return &sarifPath_;
    case OptionId::kSarifBase:
      return &sarifBase_;
    case OptionId::kRunLog:
      return &runLogPath_;
    case OptionId::kErrorLog:
      return &errorLogPath_;
    default:
      return nullptr;
  }
}

bool RunOptions::Take(OvConsole& console, std::string_view key, std::string_view value,
                      const OvSettingsLine& line) {
  const OptionSpec& option = *ModeKeyOption(key);
  const std::string complaint = line.where + "key " + DoubleQuoted(key) + " takes ";
  if (std::optional<bool>* field = SwitchOf(option.id); field != nullptr) {
    if (value != "yes" && value != "no") {
      Complain(console, complaint + "yes or no, not " + DoubleQuoted(value));
      return false;
    }
    *field = field->value_or(value == "yes");
  } else if (option.value == OptionValue::kChoice) {
    if (!IsChoice(option, value)) {
      Complain(console, complaint + ChoiceWords(option) + ", not " + DoubleQuoted(value));
      return false;
    }
    diagnosticsFormat_ = diagnosticsFormat_.empty() ? std::string(value) : diagnosticsFormat_;
  } else if (std::string* path = PathOf(option.id); path != nullptr) {
    *path = path->empty() ? line.Absolute(value) : *path;
  } else {
    // The -W options of the warnings key, separated by blanks, tabs or commas.
    for (size_t at = 0; at < value.size();) {
      const size_t end = std::min(value.find_first_of(" \t,", at), value.size());
      if (end > at) {
        policy_.warnings.emplace_back(std::string(value.substr(at, end - at)), line.where);
      }
      at = end + 1;
    }
  }
  return true;
}

int RunOptions::ReadSettings(OvConsole& console, const std::string& directory,
                             OvClassDirectories& classes, OvSettingsOrigin origin) {
  // The command line wins over each key; a file refused gives none.
  const RunOptions given = *this;
  if (initfiles(console, settingsPath_, directory, classes, *this, origin) != 0) {
    *this = given;
    return -1;
  }
  return 0;
}

lsp::CompileSettings RunOptions::ReadCompileSettings(const std::string& path,
                                                     OvSettingsOrigin origin) {
  lsp::CompileSettings settings;
  settings.settingsPath = path;
  OvConsole console(OvConsole::InMemory{});
  RunOptions options;
  options.settingsPath_ = path;
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string()
                                : slash == 0               ? std::string("/")
                                                           : path.substr(0, slash);
  OvClassDirectories classes;
  if (options.ReadSettings(console, directory, classes, origin) != 0) {
    const std::vector<std::string>& complaints = console.Complaints();
    settings.problem = "settings file " + (complaints.empty() ? "" : complaints.back());
    return settings;
  }
  settings.partsDirectory = classes.Of(kClassParts);
  for (const auto& [option, where] : options.SettingsPolicy().warnings) {
    if (!IsWarningOption(option)) {
      settings.problem = "settings file " + where + "unknown warning \"" + option + "\"";
      continue;
    }
    settings.warnings.push_back(option);
  }
  return settings;
}

}  // namespace partsc
