#include "platform/ov_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/ov_file.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

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
    "  -p SETTINGS, -pSETTINGS  read the directories of the file classes\n"
    "                           #PARTS:CTL#, #PARTS:INP# and #PARTS:BIN# from SETTINGS\n"
    "  -c CONTROL, --control CONTROL\n"
    "                           compile the control file CONTROL without asking\n"
    "  --strict                 end with 1 when an input failed to compile or its\n"
    "                           parts file could not be read back\n"
    "  -q, --quiet              print no progress lines (diagnostics still show)\n"
    "  --list FILE...           print the listing of each parts file FILE\n"
    "  --decompile FILE         write a parts source that compiles back to FILE\n"
    "  -o OUT, --output OUT     with --decompile: write the source to OUT instead\n"
    "                           of standard output\n"
    "  -h, --help               print this help and exit\n"
    "  --version                print the version and exit\n";

void PrintHelp(const std::string& programName) {
  const char* name = programName.c_str();
  std::printf("Usage: %s [-p SETTINGS] [-c CONTROL] [--strict] [-q]\n", name);
  std::printf("   or: %s [-p SETTINGS] --list FILE...\n", name);
  std::printf("   or: %s [-p SETTINGS] --decompile FILE [-o OUT]\n", name);
  std::fputs(kHelpBody, stdout);
  std::fflush(stdout);
}

// One line on standard error naming a problem of the start-up.
void Complain(const std::string& problem) {
  const std::string& name = OvSession::GetInstance().ProgramName();
  dbgprint(4, "%s: %s\n", name.empty() ? "partsc" : name.c_str(), problem.c_str());
}

std::optional<std::string> CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX + 1);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) {
      return std::nullopt;
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

// An absolute path without empty or "." components and without a trailing
// "/" (except "/" itself). ".." is kept as written: symbolic links are not
// resolved.
std::string Absolute(const std::string& base, std::string_view path) {
  std::string joined =
      !path.empty() && path.front() == '/' ? std::string(path) : base + "/" + std::string(path);
  std::string clean;
  std::size_t at = 0;
  while (at < joined.size()) {
    const std::size_t slash = joined.find('/', at);
    const std::size_t end = slash == std::string::npos ? joined.size() : slash;
    const std::string_view part = std::string_view(joined).substr(at, end - at);
    if (!part.empty() && part != ".") {
      clean += '/';
      clean += part;
    }
    at = end + 1;
  }
  return clean.empty() ? std::string("/") : clean;
}

// The directory part of an absolute path: "/a/b" gives "/a", "/a" gives "/".
std::string Parent(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return std::nullopt;
  }
  std::string content;
  std::array<char, 4096> chunk{};
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
    content.append(chunk.data(), got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    return std::nullopt;
  }
  return content;
}

// Reads the settings file into the class directories; false after one
// complaint.
bool ReadSettings(const std::string& settingsPath, const std::string& currentDirectory,
                  std::array<std::string, 3>& directories) {
  const std::optional<std::string> content = ReadWholeFile(settingsPath);
  if (!content) {
    Complain(settingsPath + ": cannot read the settings file");
    return false;
  }
  const std::string base = Parent(Absolute(currentDirectory, settingsPath));
  const std::array<std::string_view, 3> keys = {kClassControl, kClassInput, kClassParts};
  std::string_view rest = *content;
  int lineNumber = 0;
  while (!rest.empty()) {
    ++lineNumber;
    const std::size_t newline = rest.find('\n');
    std::string_view line = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    const std::string where = settingsPath + ":" + std::to_string(lineNumber) + ": ";
    line = OvStringUtil::TrimBlanks(line);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      Complain(where + "missing \"=\"");
      return false;
    }
    const std::string_view key = OvStringUtil::TrimBlanks(line.substr(0, equals));
    const std::string_view directory = OvStringUtil::TrimBlanks(line.substr(equals + 1));
    std::size_t index = 0;
    while (index < keys.size() && keys[index] != key) {
      ++index;
    }
    if (index == keys.size()) {
      Complain(where + "unknown key \"" + std::string(key) + "\"");
      return false;
    }
    if (!directories[index].empty()) {
      Complain(where + "key \"" + std::string(key) + "\" given twice");
      return false;
    }
    if (directory.empty()) {
      Complain(where + "empty directory for key \"" + std::string(key) + "\"");
      return false;
    }
    const std::string absolute = Absolute(base, directory);
    if (!IsDirectory(absolute)) {
      Complain(where + "not a directory: \"" + absolute + "\"");
      return false;
    }
    directories[index] = absolute;
  }
  return true;
}

void PrintVersion() {
  std::printf("partsc %s\n", PARTSC_VERSION);
  std::fflush(stdout);
}

}  // namespace

OvSession& OvSession::GetInstance() {
  static OvSession session;
  return session;
}

void OvSession::Reset() {
  exitRequested_ = false;
  settingsPath_.clear();
  programName_.clear();
  action_ = OvAction::kCompile;
  controlName_.clear();
  strict_ = false;
  quiet_ = false;
  listRequested_ = false;
  listFiles_.clear();
  decompileFile_.clear();
  decompileOutput_.clear();
}

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
  if (listRequested_ && decompile) {
    return false;
  }
  if ((listRequested_ || decompile) && (!controlName_.empty() || strict_)) {
    return false;
  }
  if (!decompileOutput_.empty() && !decompile) {
    return false;
  }
  if (listRequested_ && listFiles_.empty()) {
    return false;
  }
  action_ = listRequested_ ? OvAction::kList : (decompile ? OvAction::kDecompile : action_);
  return true;
}

// The options of the command line and what each does to the session.
struct CommandLineOptions {
  // False refuses the command line. `value` is the text given with an option
  // that takes one.
  using Apply = bool (*)(OvSession& session, std::string_view value);
  struct Option {
    std::string_view name;
    bool takesValue;
    Apply apply;
  };

  static constexpr Apply kSettings = [](OvSession& session, std::string_view value) {
    return TakeOnce(session.settingsPath_, value);
  };
  static constexpr Apply kControl = [](OvSession& session, std::string_view value) {
    return TakeOnce(session.controlName_, value);
  };
  static constexpr Apply kStrict = [](OvSession& session, std::string_view) {
    session.strict_ = true;
    return true;
  };
  static constexpr Apply kQuiet = [](OvSession& session, std::string_view) {
    session.quiet_ = true;
    return true;
  };
  static constexpr Apply kList = [](OvSession& session, std::string_view) {
    session.listRequested_ = true;
    return true;
  };
  static constexpr Apply kDecompile = [](OvSession& session, std::string_view value) {
    return TakeOnce(session.decompileFile_, value);
  };
  static constexpr Apply kOutput = [](OvSession& session, std::string_view value) {
    return TakeOnce(session.decompileOutput_, value);
  };
  static constexpr Apply kHelp = [](OvSession& session, std::string_view) {
    PrintHelp(session.programName_);
    session.exitRequested_ = true;
    return true;
  };
  static constexpr Apply kVersion = [](OvSession& session, std::string_view) {
    PrintVersion();
    session.exitRequested_ = true;
    return true;
  };

  static constexpr std::array<Option, 13> kAll = {{
      {"-p", true, kSettings},
      {"-c", true, kControl},
      {"--control", true, kControl},
      {"--strict", false, kStrict},
      {"-q", false, kQuiet},
      {"--quiet", false, kQuiet},
      {"--list", false, kList},
      {"--decompile", true, kDecompile},
      {"-o", true, kOutput},
      {"--output", true, kOutput},
      {"-h", false, kHelp},
      {"--help", false, kHelp},
      {"--version", false, kVersion},
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

bool OvSession::ParseCommandLine(int argc, char** argv) {
  Reset();
  programName_ = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "partsc";

  bool accepted = true;
  bool optionsEnded = false;
  for (int i = 1; accepted && !exitRequested_ && i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    // A bare argument (or any argument after "--") is a file to list.
    if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
      accepted = listRequested_;
      if (accepted) {
        listFiles_.emplace_back(argument);
      }
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    std::optional<std::string_view> attached;
    const CommandLineOptions::Option* option = CommandLineOptions::Find(argument, attached);
    const bool valueFollows = option != nullptr && option->takesValue && !attached;
    if (option == nullptr || (valueFollows && (i + 1 >= argc || argv[i + 1] == nullptr))) {
      accepted = false;
      break;
    }
    const std::string_view value =
        valueFollows ? std::string_view(argv[++i]) : attached.value_or(std::string_view());
    accepted = option->apply(*this, value);
  }
  if (accepted && !exitRequested_) {
    accepted = SettleAction();
  }
  if (!accepted) {
    // A refused command line leaves nothing behind but the program name.
    const std::string programName = programName_;
    Reset();
    programName_ = programName;
  }
  return accepted;
}

int initfiles() {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    int64_t seconds = 0;
    if (!OvUtil::ParseEpoch(epoch, seconds)) {
      Complain(std::string("SOURCE_DATE_EPOCH: not a number of seconds: \"") + epoch + "\"");
      return -1;
    }
  }
  const std::optional<std::string> currentDirectory = CurrentDirectory();
  if (!currentDirectory) {
    Complain("cannot determine the current directory");
    return -1;
  }
  std::array<std::string, 3> directories;
  const std::string& settingsPath = OvSession::GetInstance().SettingsPath();
  if (!settingsPath.empty() && !ReadSettings(settingsPath, *currentDirectory, directories)) {
    return -1;
  }
  const std::array<std::string_view, 3> keys = {kClassControl, kClassInput, kClassParts};
  const std::string here = Absolute(*currentDirectory, "");
  for (std::size_t i = 0; i < keys.size(); ++i) {
    OvFile::SetClassDirectory(keys[i], directories[i].empty() ? here : directories[i]);
  }
  return 0;
}

}  // namespace partsc
