#include "driver/run_options.h"

#include <partsc/version.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/warning_set.h"
#include "lsp/analysis.h"
#include "platform/ov_string_util.h"

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
    case OptionId::kKeepGoing:
      keepGoing_ = true;
      return true;
    case OptionId::kChanges:
      changes_ = true;
      return true;
    case OptionId::kRunLog:
      return TakeOnce(runLogPath_, value);
    case OptionId::kErrorLog:
      return TakeOnce(errorLogPath_, value);
    case OptionId::kCheck:
      checkRequested_ = true;
      return true;
    case OptionId::kList:
      listRequested_ = true;
      return true;
    case OptionId::kFormat:
      if (formatGiven_ || !IsChoice(option, value)) {
        return false;
      }
      formatGiven_ = true;
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
    case OptionId::kForce:
      force_ = true;
      return true;
    case OptionId::kDiff:
      diffRequested_ = true;
      return true;
    case OptionId::kLabel:
      labels_.emplace_back(value);
      return labels_.size() <= 2;
    case OptionId::kDiagnosticsFormat:
      return IsChoice(option, value) && TakeOnce(diagnosticsFormat_, value);
    case OptionId::kSarif:
      return TakeOnce(sarifPath_, value);
    case OptionId::kNoSarif:
      noSarif_ = true;
      return true;
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
    case OptionId::kInit: {
      const bool first = !initRequested_;
      initRequested_ = true;
      return first;
    }
    case OptionId::kLsp:
      return true;
    case OptionId::kHelp:
    case OptionId::kVersion:
      printed_ = option.id;
      exitRequested_ = true;
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
  return force_ && !outputGiven ? "option '--force' needs -o OUT, the file it overwrites" : "";
}

RunOptions::Taken RunOptions::TakeOption(size_t index, std::string_view spelling,
                                         std::string_view value) {
  const OptionSpec& option = OptionTable()[index];
  given_.emplace_back(option.id, std::string(spelling));
  if (!Apply(option, value)) {
    return Taken::kRefused;
  }
  return exitRequested_ ? Taken::kEnd : Taken::kTaken;
}

bool RunOptions::TakeOperand(std::string_view word) {
  // A file to list or compare, a source to check, or the one directory of
  // --init.
  if (initRequested_ && initDirectory_.empty() && !word.empty()) {
    initDirectory_ = std::string(word);
    return true;
  }
  (listRequested_ || diffRequested_ ? listFiles_ : sources_).emplace_back(word);
  return listRequested_ || checkRequested_ || diffRequested_;
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
  if (printed_ == OptionId::kHelp) {
    console.Out().Fprintf("%s", HelpText(session.ProgramName()).c_str());
  } else if (printed_ == OptionId::kVersion) {
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

// The keys of the everyday mode, each the default of an option: read into
// a policy.
class PolicyKeys : public OvSettingsKeys {
 public:
  explicit PolicyKeys(RunOptions::Policy& policy) : policy_(policy) {}

  bool Knows(std::string_view key) const override { return ModeKeyOption(key) != nullptr; }

  bool Take(OvConsole& console, std::string_view key, std::string_view value,
            const OvSettingsLine& line) override {
    const OptionSpec& option = *ModeKeyOption(key);
    if (std::optional<bool>* field = SwitchOf(option.id); field != nullptr) {
      if (value != "yes" && value != "no") {
        Complain(console, line.where + "key " + QuotedText(key) + " takes yes or no, not " +
                              QuotedText(value));
        return false;
      }
      *field = value == "yes";
      return true;
    }
    if (option.value == OptionValue::kChoice) {
      if (!IsChoice(option, value)) {
        Complain(console, line.where + "key " + QuotedText(key) + " takes " +
                              ChoiceWords(option) + ", not " + QuotedText(value));
        return false;
      }
      policy_.diagnosticsFormat = std::string(value);
      return true;
    }
    if (std::string* path = PathOf(option.id); path != nullptr) {
      *path = line.Absolute(value);
      return true;
    }
    TakeWarnings(value, line.where);
    return true;
  }

 private:
  static std::string QuotedText(std::string_view text) {
    return std::string("\"").append(text).append("\"");
  }

  // Where a yes-or-no key goes.
  std::optional<bool>* SwitchOf(OptionId id) {
    switch (id) {
      case OptionId::kAtomic:
        return &policy_.atomic;
      case OptionId::kStrict:
        return &policy_.strict;
      case OptionId::kWarningsAreErrors:
        return &policy_.warningsAsErrors;
      case OptionId::kQuiet:
        return &policy_.quiet;
      default:
        return nullptr;
    }
  }

  // Where a key that names a file or a directory goes.
  std::string* PathOf(OptionId id) {
    switch (id) {
      case OptionId::kSarif:
        return &policy_.sarifPath;
      case OptionId::kSarifBase:
        return &policy_.sarifBase;
      case OptionId::kRunLog:
        return &policy_.runLogPath;
      case OptionId::kErrorLog:
        return &policy_.errorLogPath;
      default:
        return nullptr;
    }
  }

  // The -W options of the warnings key, separated by blanks, tabs or commas.
  void TakeWarnings(std::string_view value, const std::string& where) {
    size_t at = 0;
    while (at < value.size()) {
      const size_t end = value.find_first_of(" \t,", at);
      const std::string_view item = value.substr(at, end - at);
      if (!item.empty()) {
        policy_.warnings.emplace_back(std::string(item), where);
      }
      at = end == std::string_view::npos ? value.size() : end + 1;
    }
  }

  RunOptions::Policy& policy_;
};

}  // namespace

int RunOptions::ReadSettings(OvConsole& console, const std::string& directory,
                             OvClassDirectories& classes, OvSettingsOrigin origin) {
  Policy policy;
  PolicyKeys keys(policy);
  if (initfiles(console, settingsPath_, directory, classes, keys, origin) != 0) {
    return -1;
  }
  // The command line wins over each of these.
  policy_ = std::move(policy);
  return 0;
}

lsp::CompileSettings ReadCompileSettings(const std::string& path, OvSettingsOrigin origin) {
  lsp::CompileSettings settings;
  settings.settingsPath = path;
  OvConsole console(OvConsole::InMemory{});
  std::vector<std::string> words = {"partsc", "-p", path};
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  RunOptions options;
  options.Parse(static_cast<int>(argv.size()), argv.data(), console);
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? std::string()
                                : slash == 0               ? std::string("/")
                                                           : path.substr(0, slash);
  OvClassDirectories classes;
  if (options.ReadSettings(console, directory, classes, origin) != 0) {
    std::string problem = console.ErrText();
    const std::string prefix = "partsc: ";
    if (problem.rfind(prefix, 0) == 0) {
      problem.erase(0, prefix.size());
    }
    while (!problem.empty() && problem.back() == '\n') {
      problem.pop_back();
    }
    settings.problem = "settings file " + problem;
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
