#include "platform/ov_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_lock.h"
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

// Why `path` cannot be a class directory: "no such directory", "not a
// directory"; empty when it is a directory.
std::string DirectoryProblem(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return errno == ENOENT ? "no such directory"
                           : "cannot use the directory (" + SystemErrorText(errno) + ")";
  }
  return S_ISDIR(status.st_mode) ? std::string() : "not a directory";
}

// What the settings file gives: the class directories (empty where not
// given), and the keys given so far.
struct Settings {
  std::array<std::string, 3> directories;
  std::set<std::string, std::less<>> given;
};

// Takes one `KEY = VALUE` line into the settings; false after one complaint.
// `place` names the line for the complaint.
bool TakeSetting(OvConsole& console, std::string_view line, const OvSettingsLine& place,
                 OvSettingsKeys& keys, Settings& settings) {
  const std::string& where = place.where;
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    Complain(console, where + "missing \"=\"");
    return false;
  }
  const std::string_view key = OvStringUtil::TrimBlanks(line.substr(0, equals));
  const std::string_view value = OvStringUtil::TrimBlanks(line.substr(equals + 1));
  const auto index = static_cast<std::size_t>(std::find(kClassKeys.begin(), kClassKeys.end(), key) -
                                              kClassKeys.begin());
  if (index == kClassKeys.size() && !keys.Knows(key)) {
    Complain(console, where + "unknown key " + QuotedSetting(key));
    return false;
  }
  if (!settings.given.insert(std::string(key)).second) {
    Complain(console, where + "key " + QuotedSetting(key) + " given twice");
    return false;
  }
  if (value.empty()) {
    const char* what = index == kClassKeys.size() ? "empty value" : "empty directory";
    Complain(console, where + what + " for key " + QuotedSetting(key));
    return false;
  }
  if (index == kClassKeys.size()) {
    return keys.Take(console, key, value, place);
  }
  const std::string absolute = place.Absolute(value);
  const std::string problem = DirectoryProblem(absolute);
  if (!problem.empty()) {
    Complain(console, where + problem + ": " + QuotedSetting(absolute));
    return false;
  }
  settings.directories[index] = absolute;
  return true;
}

// Why a settings file that was looked for cannot be used: it is not a
// regular file of the run's user. Empty when it can.
std::string FoundFileProblem(const std::string& path) {
  struct stat status {};
  // A link of the user's own stands for its target.
  if (::lstat(path.c_str(), &status) != 0 ||
      (S_ISLNK(status.st_mode) && status.st_uid == ::geteuid() &&
       ::stat(path.c_str(), &status) != 0)) {
    return "cannot read the settings file";
  }
  if (status.st_uid != ::geteuid()) {
    return "belongs to another user: not used";
  }
  return S_ISREG(status.st_mode) ? std::string() : "not a regular file: not used";
}

// Reads the settings file; false after one complaint.
bool ReadSettings(OvConsole& console, const std::string& settingsPath,
                  const std::string& currentDirectory, OvSettingsOrigin origin,
                  OvSettingsKeys& keys, Settings& settings) {
  const std::string path = OvFile::Resolve(currentDirectory, settingsPath);
  const bool found = origin == OvSettingsOrigin::kFound;
  if (found) {
    if (const std::string problem = FoundFileProblem(path); !problem.empty()) {
      Complain(console, settingsPath + ": " + problem);
      return false;
    }
  }
  const OvWholeFile read = OvFileIO::ReadWholeFile(path, kSettingsReadLimit, !found);
  if (!read.Ok()) {
    Complain(console, settingsPath + (read.status == OvTextRead::kTooLarge
                                          ? ": cannot read the settings file: larger than 64 KiB"
                                          : ": cannot read the settings file"));
    return false;
  }
  const std::string base = OvFile::DirectoryOf(Absolute(currentDirectory, settingsPath));
  std::string_view rest = read.bytes;
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
    const OvSettingsLine place{settingsPath + ":" + std::to_string(lineNumber) + ": ", base};
    if (!TakeSetting(console, line, place, keys, settings)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string OvSettingsLine::Absolute(std::string_view path) const {
  return partsc::Absolute(directory, path);
}

std::string QuotedSetting(std::string_view text) {
  // Appended piece by piece: g++ 12 at -O2 warns that `"\"" + std::string(text)`
  // may copy overlapping bytes (a false positive of its -Wrestrict).
  return std::string("\"").append(text).append("\"");
}

int initfiles(OvConsole& console, const std::string& settingsPath, const std::string& directory,
              OvClassDirectories& classes, OvSettingsKeys& keys, OvSettingsOrigin origin) {
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && !OvUtil::ParseEpoch(epoch)) {
    Complain(console, std::string("SOURCE_DATE_EPOCH: not a number of seconds: \"") + epoch + "\"");
    return -1;
  }
  if (const char* wait = std::getenv("PARTSC_LOCK_WAIT"); wait != nullptr && !IsLockWait(wait)) {
    Complain(console, std::string("PARTSC_LOCK_WAIT: not a number of seconds from 0 to 86400: \"") +
                          EscapeControls(wait) + "\"");
    return -1;
  }
  if (directory.empty()) {
    Complain(console, "cannot determine the current directory");
    return -1;
  }
  Settings settings;
  if (!settingsPath.empty() &&
      !ReadSettings(console, settingsPath, directory, origin, keys, settings)) {
    return -1;
  }
  const std::string here = Absolute(directory, "");
  for (std::size_t i = 0; i < kClassKeys.size(); ++i) {
    const std::string& given = settings.directories[i];
    classes.Set(kClassKeys[i], given.empty() ? here : given);
  }
  return 0;
}

}  // namespace partsc
