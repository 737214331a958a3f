#include "platform/ov_session.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#ifndef PARTSC_VERSION
#define PARTSC_VERSION "unknown"
#endif

namespace partsc {
namespace {

void PrintVersion(OvConsole& console) {
  console.Out().Fprintf("partsc %s\n", ProgramVersion());
  console.Out().Fflush();
}

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
    const std::optional<OvAction> started = ActionStartedBy(option);
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

bool OvSession::Apply(const OptionSpec& option, std::string_view value, OvConsole& console) {
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
      format_ = value == "json"    ? OvFormat::kJson
                : value == "lines" ? OvFormat::kLines
                                   : OvFormat::kText;
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
      lsp_ = true;
      return true;
    case OptionId::kHelp:
      console.Out().Fprintf("%s", HelpText(programName_).c_str());
      console.Out().Fflush();
      exitRequested_ = true;
      return true;
    case OptionId::kVersion:
      PrintVersion(console);
      exitRequested_ = true;
      return true;
  }
  return false;
}

bool OvSession::SettleAction() {
  // The action: the one action option given, or the compile of a control
  // file.
  const OptionSpec* actionOption = nullptr;
  for (const auto& [id, spelling] : given_) {
    const OptionSpec& option = OptionOf(id);
    const std::optional<OvAction> started = ActionStartedBy(option);
    if (!started || actionOption == &option) {
      continue;
    }
    if (actionOption != nullptr) {
      return Refuse("options " + Quoted(OptionName(*actionOption)) + " and " + Quoted(spelling) +
                    " do not go together");
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
      return Refuse("option " + Quoted(spelling) + " goes with " + ActionNames(option.actions) +
                    " only");
    }
    return Refuse("option " + Quoted(spelling) + " does not go with " +
                  Quoted(OptionName(*actionOption)));
  }
  const bool outputGiven = !decompileOutput_.empty();
  switch (action_) {
    case OvAction::kList:
      return !listFiles_.empty() || Refuse("option '--list' needs at least one FILE");
    case OvAction::kDiff:
      if (format_ == OvFormat::kLines) {
        return Refuse("option '--format=lines' goes with '--list' only");
      }
      // Git runs an external diff with 7 arguments, 9 for a renamed file.
      return listFiles_.size() == 2 || listFiles_.size() == 7 || listFiles_.size() == 9 ||
             Refuse("option '--diff' compares two files, OLD and NEW, not " +
                    std::to_string(listFiles_.size()));
    case OvAction::kFromJson:
      if (!outputGiven) {
        return Refuse("option '--from-json' needs -o OUT, the parts file it writes");
      }
      break;
    case OvAction::kCheck:
      if (!sources_.empty() && !controlName_.empty()) {
        return Refuse("option '--check' takes SOURCE... or -c CONTROL, not both");
      }
      break;
    case OvAction::kInit:
      initDirectory_ = initDirectory_.empty() ? "." : initDirectory_;
      break;
    default:
      break;
  }
  return !force_ || outputGiven || Refuse("option '--force' needs -o OUT, the file it overwrites");
}

bool OvSession::ParseCommandLine(int argc, char** argv, OvConsole& console) {
  *this = OvSession();
  programName_ = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "partsc";

  bool accepted = true;
  bool optionsEnded = false;
  for (int i = 1; accepted && !exitRequested_ && i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    // A bare argument (or any argument after "--") is a file to list, a
    // source to check, or the one directory of --init.
    if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
      if (initRequested_ && initDirectory_.empty() && !argument.empty()) {
        initDirectory_ = std::string(argument);
        continue;
      }
      accepted = listRequested_ || checkRequested_ || diffRequested_;
      if (!accepted) {
        refusal_ = "unexpected argument '" + std::string(argument) + "'";
      }
      (listRequested_ || diffRequested_ ? listFiles_ : sources_).emplace_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    std::optional<std::string_view> attached;
    const OptionSpec* option = FindOption(argument, attached);
    if (option == nullptr) {
      refusal_ = "unrecognized option '" + std::string(argument) + "'";
      accepted = false;
      break;
    }
    const bool valueFollows = !option->argument.empty() && !attached;
    if (valueFollows && (i + 1 >= argc || argv[i + 1] == nullptr)) {
      refusal_ = "option '" + std::string(argument) + "' requires an argument";
      accepted = false;
      break;
    }
    // The spelling the option was given in, without its value.
    const std::string_view spelling =
        attached ? argument.substr(0, argument.size() - attached->size()) : argument;
    given_.emplace_back(
        option->id,
        std::string(spelling.ends_with("=") ? spelling.substr(0, spelling.size() - 1) : spelling));
    const std::string_view value =
        valueFollows ? std::string_view(argv[++i]) : attached.value_or(std::string_view());
    accepted = Apply(*option, value, console);
    if (!accepted) {
      refusal_ = "invalid or repeated argument '" + std::string(value) + "' for '" +
                 given_.back().second + "'";
    }
  }
  if (accepted && !exitRequested_) {
    accepted = SettleAction();
  }
  if (!accepted) {
    // A refused command line leaves nothing behind but the program name, the
    // reason and the action it was meant for.
    OvSession refused;
    refused.programName_ = std::move(programName_);
    refused.refusal_ = std::move(refusal_);
    refused.refusedAction_ = refusedAction_;
    *this = std::move(refused);
  }
  return accepted;
}

const char* ProgramVersion() {
  return PARTSC_VERSION;
}

}  // namespace partsc
