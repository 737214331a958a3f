#include "platform/ov_session.h"

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#ifndef PARTSC_VERSION
#define PARTSC_VERSION "unknown"
#endif

namespace partsc {
namespace {

constexpr const char* kHelpBody =
    "\n"
    "Compiles the parts source files listed in a control file; without -c the\n"
    "name of the control file is asked for on the console.\n"
    "\n"
    "  -C DIR, -CDIR            change to the directory DIR before anything else\n"
    "  -p SETTINGS, -pSETTINGS  read the directories of the file classes\n"
    "                           #PARTS:CTL#, #PARTS:INP# and #PARTS:BIN# from SETTINGS,\n"
    "                           and the everyday mode (#PARTS:ATOMIC#, #PARTS:STRICT#,\n"
    "                           #PARTS:WARNINGS#, #PARTS:WERROR#, #PARTS:DIAGNOSTICS#,\n"
    "                           #PARTS:SARIF#, #PARTS:SARIFBASE#, #PARTS:RUNLOG#,\n"
    "                           #PARTS:ERRORLOG#), which the command line overrides\n"
    "  -c CONTROL, --control CONTROL\n"
    "                           compile the control file CONTROL without asking\n"
    "  --strict                 end with 1 when an input failed to compile or its\n"
    "                           parts file could not be read back\n"
    "  --no-strict              do not, whatever the settings file says\n"
    "  --atomic                 write each parts file under a temporary name and\n"
    "                           put it in place only when it compiled and listed:\n"
    "                           a failed input keeps the previous file and backup\n"
    "  --no-atomic              write in place, whatever the settings file says\n"
    "  --run-log FILE           write the run log to FILE instead of TALVIREN.LOG\n"
    "  --error-log FILE         append the error log to FILE instead of CONTROL.LOG\n"
    "  -q, --quiet              print no progress lines (diagnostics still show)\n"
    "  --changes                print, for each parts file written, what changed\n"
    "                           against its backup (\"new file\" when none)\n"
    "  --check [SOURCE...]      run as the run of each SOURCE (without one, of the\n"
    "                           control file) would, every output held in memory:\n"
    "                           write no file at all; end as --strict would\n"
    "  --list FILE...           print the listing of each parts file FILE\n"
    "  --format=FORMAT          with --list: listing (the default) or json, one JSON\n"
    "                           document per file (JSON Lines for several);\n"
    "                           with --diff: text (the default) or json\n"
    "  --decompile FILE         write a parts source that compiles back to FILE\n"
    "  --from-json FILE -o OUT  build the parts file OUT from the JSON document FILE\n"
    "  -o OUT, --output OUT     with --decompile: write the source to OUT instead\n"
    "                           of standard output; with --from-json: the parts\n"
    "                           file; an existing OUT is not overwritten\n"
    "  --force                  with -o: overwrite an existing OUT\n"
    "  --diff OLD NEW           say what changed from OLD to NEW, parts files or\n"
    "                           parts sources (compiled in memory); ends with 0\n"
    "                           when they are the same, 1 when they differ, 2 on\n"
    "                           trouble\n"
    "  --diagnostics-format=FORMAT\n"
    "                           classic: diagnostics on the console as in the\n"
    "                           error log (the default); gnu or json: one line\n"
    "                           each on standard error instead\n"
    "  --sarif FILE             also write the diagnostics as a SARIF 2.1.0 log\n"
    "  --no-sarif               write none, whatever the settings file says\n"
    "  --sarif-base DIR         make the SARIF log's file URIs relative to DIR\n"
    "                           (default: the directory partsc was started in)\n"
    "  -Wall, -WNAME, -Wno-NAME warn about silent changes: all, one, or not one\n"
    "  -Werror, -Wno-error      end with 1 when any warning was reported, or not\n"
    "  --explain NAME           explain a diagnostic (NAME from its [partsc-...])\n"
    "  --init [DIR]             start a library in DIR (default: here): its src/\n"
    "                           and parts/, a settings file ORVA.SET with the\n"
    "                           everyday mode and a control file LIBRARY.CTL\n"
    "                           naming the sources in src/; overwrites nothing\n"
    "  --lsp                    serve the Language Server Protocol on standard input\n"
    "                           and output: diagnostics as you type, hover,\n"
    "                           completion; with -p, that settings file for every\n"
    "                           document, else the nearest ORVA.SET above it\n"
    "  -h, --help               print this help and exit\n"
    "  --version                print the version and exit\n";

void PrintHelp(OvConsole& console, const std::string& programName) {
  const char* name = programName.c_str();
  OvFileIO& out = console.Out();
  out.Fprintf(
      "Usage: %s [-C DIR] [-p SETTINGS] [-c CONTROL] [--[no-]strict] [--[no-]atomic] [--changes]\n"
      "          [-q] [--diagnostics-format=FORMAT] [--sarif FILE | --no-sarif] [-W...]\n"
      "          [--run-log FILE] [--error-log FILE]\n",
      name);
  out.Fprintf("   or: %s [-C DIR] [-p SETTINGS] --check [-c CONTROL | SOURCE...]\n", name);
  out.Fprintf("   or: %s [-C DIR] [-p SETTINGS] --list [--format=FORMAT] FILE...\n", name);
  out.Fprintf("   or: %s [-C DIR] [-p SETTINGS] --decompile FILE [-o OUT [--force]]\n", name);
  out.Fprintf("   or: %s [-C DIR] --from-json FILE -o OUT [--force]\n", name);
  out.Fprintf("   or: %s [-C DIR] [-p SETTINGS] --diff [--format=FORMAT] OLD NEW\n", name);
  out.Fprintf("   or: %s --explain NAME\n", name);
  out.Fprintf("   or: %s [-C DIR] --init [DIR]\n", name);
  out.Fprintf("   or: %s [-C DIR] [-p SETTINGS] --lsp\n", name);
  out.Fprintf("%s", kHelpBody);
  out.Fflush();
}

void PrintVersion(OvConsole& console) {
  console.Out().Fprintf("partsc %s\n", ProgramVersion());
  console.Out().Fflush();
}

}  // namespace

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

}  // namespace

bool OvSession::SettleAction() {
  const bool decompile = !decompileFile_.empty();
  // The logs belong to the run of a control file.
  const bool logsNamed = !runLogPath_.empty() || !errorLogPath_.empty();
  if (logsNamed &&
      (initRequested_ || lsp_ || !explainName_.empty() || listRequested_ || decompile)) {
    return false;
  }
  const bool fromJson = !fromJsonFile_.empty();
  const int actions = (listRequested_ ? 1 : 0) + (decompile ? 1 : 0) + (fromJson ? 1 : 0) +
                      (diffRequested_ ? 1 : 0) + (lsp_ ? 1 : 0) + (explainName_.empty() ? 0 : 1) +
                      (initRequested_ ? 1 : 0) + (checkRequested_ ? 1 : 0);
  // --check takes every option of a run, --changes too.
  const int notRun = actions - (checkRequested_ ? 1 : 0);
  if (actions > 1 || (changes_ && notRun > 0) ||
      (formatGiven_ && !listRequested_ && !diffRequested_)) {
    return false;
  }
  if (fromJson || diffRequested_) {
    if (!controlName_.empty() || !runLogPath_.empty() || !errorLogPath_.empty() ||
        strict_.has_value() || atomic_.has_value() ||
        !sarifPath_.empty() || noSarif_ || !diagnosticsFormat_.empty()) {
      return false;
    }
    if (diffRequested_) {
      action_ = OvAction::kDiff;
      return listFiles_.size() == 2 && decompileOutput_.empty() && !force_;
    }
    action_ = OvAction::kFromJson;
    return !decompileOutput_.empty();
  }
  if (initRequested_) {
    // --init goes with -C and -q only.
    action_ = OvAction::kInit;
    initDirectory_ = initDirectory_.empty() ? "." : initDirectory_;
    return settingsPath_.empty() && controlName_.empty() && !strict_ && !atomic_ &&
           !listRequested_ && !checkRequested_ && !decompile && decompileOutput_.empty() &&
           !force_ && diagnosticsFormat_.empty() && sarifPath_.empty() && !noSarif_ &&
           sarifBase_.empty() && warningOptions_.empty() && explainName_.empty() && !lsp_;
  }
  if (lsp_) {
    // The server takes -C and -p only: it compiles what the editor sends.
    action_ = OvAction::kLsp;
    return !listRequested_ && !checkRequested_ && !decompile && explainName_.empty() &&
           controlName_.empty() && !strict_ && !atomic_ && decompileOutput_.empty() && !force_ &&
           sarifPath_.empty() && sarifBase_.empty() && diagnosticsFormat_.empty() &&
           warningOptions_.empty();
  }
  if (!explainName_.empty()) {
    action_ = OvAction::kExplain;
    return !listRequested_ && !checkRequested_ && !decompile && controlName_.empty() &&
           strict_ != true;
  }
  if (checkRequested_) {
    // Sources or a control file, not both, with the options of a run.
    action_ = OvAction::kCheck;
    return !listRequested_ && !decompile && !force_ && decompileOutput_.empty() &&
           (sources_.empty() || controlName_.empty());
  }
  if (listRequested_ && decompile) {
    return false;
  }
  if ((listRequested_ || decompile) &&
      (!controlName_.empty() || strict_ == true || atomic_ == true)) {
    return false;
  }
  if ((!decompileOutput_.empty() && !decompile) || (force_ && decompileOutput_.empty())) {
    return false;
  }
  if (listRequested_ && listFiles_.empty()) {
    refusal_ = "option '--list' needs at least one FILE";
    return false;
  }
  action_ = listRequested_ ? OvAction::kList : (decompile ? OvAction::kDecompile : action_);
  return true;
}

// The options of the command line and what each does to the session.
struct CommandLineOptions {
  // False refuses the command line. `value` is the text given with an option
  // that takes one.
  using Apply = bool (*)(OvSession& session, OvConsole& console, std::string_view value);
  struct Option {
    std::string_view name;
    bool takesValue;
    Apply apply;
  };

  static constexpr Apply kSettings = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.settingsPath_, value);
  };
  static constexpr Apply kControl = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.controlName_, value);
  };
  static constexpr Apply kStrict = [](OvSession& session, OvConsole&, std::string_view) {
    session.strict_ = true;
    return true;
  };
  static constexpr Apply kNoStrict = [](OvSession& session, OvConsole&, std::string_view) {
    session.strict_ = false;
    return true;
  };
  static constexpr Apply kAtomic = [](OvSession& session, OvConsole&, std::string_view) {
    session.atomic_ = true;
    return true;
  };
  static constexpr Apply kNoAtomic = [](OvSession& session, OvConsole&, std::string_view) {
    session.atomic_ = false;
    return true;
  };
  static constexpr Apply kQuiet = [](OvSession& session, OvConsole&, std::string_view) {
    session.quiet_ = true;
    return true;
  };
  static constexpr Apply kList = [](OvSession& session, OvConsole&, std::string_view) {
    session.listRequested_ = true;
    return true;
  };
  static constexpr Apply kCheck = [](OvSession& session, OvConsole&, std::string_view) {
    session.checkRequested_ = true;
    return true;
  };
  static constexpr Apply kDecompile = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.decompileFile_, value);
  };
  static constexpr Apply kFromJson = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.fromJsonFile_, value);
  };
  static constexpr Apply kDiff = [](OvSession& session, OvConsole&, std::string_view) {
    session.diffRequested_ = true;
    return true;
  };
  static constexpr Apply kChanges = [](OvSession& session, OvConsole&, std::string_view) {
    session.changes_ = true;
    return true;
  };
  // "listing" is --list's name for the text form, "text" --diff's.
  static constexpr Apply kFormat = [](OvSession& session, OvConsole&, std::string_view value) {
    const bool text = value == "listing" || value == "text";
    if (session.formatGiven_ || (!text && value != "json")) {
      return false;
    }
    session.formatGiven_ = true;
    session.format_ = text ? OvFormat::kText : OvFormat::kJson;
    return true;
  };
  static constexpr Apply kOutput = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.decompileOutput_, value);
  };
  static constexpr Apply kDirectory = [](OvSession& session, OvConsole&, std::string_view value) {
    if (value.empty()) {
      return false;
    }
    session.directories_.emplace_back(value);
    return true;
  };
  static constexpr Apply kForce = [](OvSession& session, OvConsole&, std::string_view) {
    session.force_ = true;
    return true;
  };
  static constexpr Apply kHelp = [](OvSession& session, OvConsole& console, std::string_view) {
    PrintHelp(console, session.programName_);
    session.exitRequested_ = true;
    return true;
  };
  static constexpr Apply kVersion = [](OvSession& session, OvConsole& console, std::string_view) {
    PrintVersion(console);
    session.exitRequested_ = true;
    return true;
  };

  // Diagnostics: the console's format, a SARIF log, warnings, explanations.
  static constexpr Apply kDiagnosticsFormat = [](OvSession& session, OvConsole&,
                                                 std::string_view value) {
    const bool known = value == "classic" || value == "gnu" || value == "json";
    return known && TakeOnce(session.diagnosticsFormat_, value);
  };
  static constexpr Apply kSarif = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.sarifPath_, value);
  };
  static constexpr Apply kSarifBase = [](OvSession& session, OvConsole&, std::string_view value) {
    return !value.empty() && TakeOnce(session.sarifBase_, value);
  };
  static constexpr Apply kRunLog = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.runLogPath_, value);
  };
  static constexpr Apply kErrorLog = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.errorLogPath_, value);
  };
  static constexpr Apply kNoSarif = [](OvSession& session, OvConsole&, std::string_view) {
    session.noSarif_ = true;
    return true;
  };
  static constexpr Apply kWarning = [](OvSession& session, OvConsole&, std::string_view value) {
    session.warningOptions_.emplace_back(value);
    return !value.empty();
  };
  static constexpr Apply kExplain = [](OvSession& session, OvConsole&, std::string_view value) {
    return TakeOnce(session.explainName_, value);
  };
  static constexpr Apply kInit = [](OvSession& session, OvConsole&, std::string_view) {
    const bool first = !session.initRequested_;
    session.initRequested_ = true;
    return first;
  };

  static constexpr Apply kLsp = [](OvSession& session, OvConsole&, std::string_view) {
    session.lsp_ = true;
    return true;
  };

  static constexpr std::array<Option, 33> kAll = {{
      {"-C", true, kDirectory},
      {"-p", true, kSettings},
      {"-c", true, kControl},
      {"--control", true, kControl},
      {"--strict", false, kStrict},
      {"--no-strict", false, kNoStrict},
      {"--atomic", false, kAtomic},
      {"--no-atomic", false, kNoAtomic},
      {"-q", false, kQuiet},
      {"--quiet", false, kQuiet},
      {"--list", false, kList},
      {"--check", false, kCheck},
      {"--decompile", true, kDecompile},
      {"-o", true, kOutput},
      {"--output", true, kOutput},
      {"--force", false, kForce},
      {"-h", false, kHelp},
      {"--help", false, kHelp},
      {"--version", false, kVersion},
      {"--diagnostics-format", true, kDiagnosticsFormat},
      {"--sarif", true, kSarif},
      {"--no-sarif", false, kNoSarif},
      {"--sarif-base", true, kSarifBase},
      {"--run-log", true, kRunLog},
      {"--error-log", true, kErrorLog},
      {"-W", true, kWarning},
      {"--explain", true, kExplain},
      {"--init", false, kInit},
      {"--lsp", false, kLsp},
      {"--from-json", true, kFromJson},
      {"--diff", false, kDiff},
      {"--changes", false, kChanges},
      {"--format", true, kFormat},
  }};

  // The option `argument` names, or null. A short option may carry its value
  // (-pFILE), a long one after "=" (--control=FILE); that value goes to
  // `attached`.
  static const Option* Find(std::string_view argument, std::optional<std::string_view>& attached) {
    for (const Option& option : kAll) {
      if (argument == option.name) {
        return &option;
      }
      if (!option.takesValue || !argument.starts_with(option.name)) {
        continue;
      }
      const std::string_view rest = argument.substr(option.name.size());
      if (option.name.size() == 2) {
        attached = rest;
        return &option;
      }
      if (rest.front() == '=') {
        attached = rest.substr(1);
        return &option;
      }
    }
    return nullptr;
  }
};

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
    const CommandLineOptions::Option* option = CommandLineOptions::Find(argument, attached);
    const bool valueFollows = option != nullptr && option->takesValue && !attached;
    if (option == nullptr) {
      refusal_ = "unrecognized option '" + std::string(argument) + "'";
      accepted = false;
      break;
    }
    if (valueFollows && (i + 1 >= argc || argv[i + 1] == nullptr)) {
      refusal_ = "option '" + std::string(argument) + "' requires an argument";
      accepted = false;
      break;
    }
    const std::string_view value =
        valueFollows ? std::string_view(argv[++i]) : attached.value_or(std::string_view());
    accepted = option->apply(*this, console, value);
    if (!accepted) {
      refusal_ = "invalid or repeated argument '" + std::string(value) + "' for '" +
                 std::string(option->name) + "'";
    }
  }
  if (accepted && !exitRequested_) {
    accepted = SettleAction();
    refusal_ = accepted || !refusal_.empty() ? refusal_ : "options that do not go together";
  }
  if (!accepted) {
    // A refused command line leaves nothing behind but the program name and
    // the reason.
    OvSession refused;
    refused.programName_ = std::move(programName_);
    refused.refusal_ = std::move(refusal_);
    *this = std::move(refused);
  }
  return accepted;
}

const char* ProgramVersion() {
  return PARTSC_VERSION;
}

}  // namespace partsc
