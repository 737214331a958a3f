#include "platform/ov_settings.h"

#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

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

// What the settings file gives: the class directories (empty where not
// given) and the mode of writing parts files.
struct Settings {
  std::array<std::string, 3> directories;
  std::optional<bool> atomic;
};

constexpr std::string_view kAtomicKey = "#PARTS:ATOMIC#";

// Takes the value of the atomic key, "yes" or "no"; false after one
// complaint.
bool TakeAtomic(OvConsole& console, std::string_view value, const std::string& where,
                Settings& settings) {
  if (settings.atomic) {
    Complain(console, where + "key \"" + std::string(kAtomicKey) + "\" given twice");
    return false;
  }
  if (value != "yes" && value != "no") {
    Complain(console, where + "key \"" + std::string(kAtomicKey) + "\" takes yes or no, not \"" +
                          std::string(value) + "\"");
    return false;
  }
  settings.atomic = value == "yes";
  return true;
}

// Takes one `KEY = VALUE` line into the settings; false after one complaint.
// `where` names the line for the complaint.
bool TakeSetting(OvConsole& console, std::string_view line, const std::string& base,
                 const std::string& where, Settings& settings) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    Complain(console, where + "missing \"=\"");
    return false;
  }
  const std::string_view key = OvStringUtil::TrimBlanks(line.substr(0, equals));
  const std::string_view directory = OvStringUtil::TrimBlanks(line.substr(equals + 1));
  if (key == kAtomicKey) {
    return TakeAtomic(console, directory, where, settings);
  }
  std::size_t index = 0;
  while (index < kClassKeys.size() && kClassKeys[index] != key) {
    ++index;
  }
  if (index == kClassKeys.size()) {
    Complain(console, where + "unknown key \"" + std::string(key) + "\"");
    return false;
  }
  std::string& slot = settings.directories[index];
  if (!slot.empty()) {
    Complain(console, where + "key \"" + std::string(key) + "\" given twice");
    return false;
  }
  if (directory.empty()) {
    Complain(console, where + "empty directory for key \"" + std::string(key) + "\"");
    return false;
  }
  const std::string absolute = Absolute(base, directory);
  if (!IsDirectory(absolute)) {
    Complain(console, where + "not a directory: \"" + absolute + "\"");
    return false;
  }
  slot = absolute;
  return true;
}

// Reads the settings file; false after one complaint.
bool ReadSettings(OvConsole& console, const std::string& settingsPath,
                  const std::string& currentDirectory, Settings& settings) {
  std::string content;
  if (!OvFileIO::ReadWholeFile(OvFile::Resolve(currentDirectory, settingsPath), content)) {
    Complain(console, settingsPath + ": cannot read the settings file");
    return false;
  }
  const std::string base = Parent(Absolute(currentDirectory, settingsPath));
  std::string_view rest = content;
  int lineNumber = 0;
  while (!rest.empty()) {
    ++lineNumber;
    const std::size_t newline = rest.find('\n');
    std::string_view line = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    line = OvStringUtil::TrimBlanks(line);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    const std::string where = settingsPath + ":" + std::to_string(lineNumber) + ": ";
    if (!TakeSetting(console, line, base, where, settings)) {
      return false;
    }
  }
  return true;
}

}  // namespace

int initfiles(OvConsole& console, OvSession& session, const std::string& directory,
              OvClassDirectories& classes) {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    int64_t seconds = 0;
    if (!OvUtil::ParseEpoch(epoch, seconds)) {
      Complain(console,
               std::string("SOURCE_DATE_EPOCH: not a number of seconds: \"") + epoch + "\"");
      return -1;
    }
  }
  const std::string& currentDirectory = directory;
  if (currentDirectory.empty()) {
    Complain(console, "cannot determine the current directory");
    return -1;
  }
  Settings settings;
  const std::string& settingsPath = session.SettingsPath();
  if (!settingsPath.empty() && !ReadSettings(console, settingsPath, currentDirectory, settings)) {
    return -1;
  }
  const std::string here = Absolute(currentDirectory, "");
  for (std::size_t i = 0; i < kClassKeys.size(); ++i) {
    const std::string& given = settings.directories[i];
    classes.Set(kClassKeys[i], given.empty() ? here : given);
  }
  // --atomic on the command line holds whatever the settings file says.
  session.SetAtomic(session.Atomic() || settings.atomic.value_or(false));
  return 0;
}

}  // namespace partsc
