#include "lsp/settings_rule.h"

#include <string>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_session.h"
#include "platform/ov_settings.h"

namespace partsc::lsp {
namespace {

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return {};
  }
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string StampText(const std::optional<OvFileStamp>& stamp) {
  if (!stamp) {
    return "none";
  }
  return std::to_string(stamp->modifiedNs) + ":" + std::to_string(stamp->size) + ":" +
         std::to_string(stamp->inode);
}

// Whether `directory` is `root` or lies below it.
bool Within(const std::string& directory, const std::string& root) {
  return directory == root ||
         (directory.starts_with(root) && (root == "/" || directory[root.size()] == '/'));
}

// Reads the settings file as a run with -p does; a problem comes back as the
// line the run would print, without the program name.
CompileSettings ReadSettingsFile(const std::string& path, OvSettingsOrigin origin) {
  CompileSettings settings;
  settings.settingsPath = path;
  OvConsole console(OvConsole::InMemory{});
  std::vector<std::string> words = {"partsc", "-p", path};
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  OvSession session;
  session.ParseCommandLine(static_cast<int>(argv.size()), argv.data(), console);
  OvClassDirectories classes;
  if (initfiles(console, session, Parent(path), classes, origin) != 0) {
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
  for (const auto& [option, where] : session.SettingsPolicy().warnings) {
    if (!IsWarningOption(option)) {
      settings.problem = "settings file " + where + "unknown warning \"" + option + "\"";
      continue;
    }
    settings.warnings.push_back(option);
  }
  return settings;
}

}  // namespace

SettingsRule::SettingsRule(std::string explicitPath, const std::string& directory, bool lookUp)
    : explicitPath_(explicitPath.empty() ? std::string()
                                         : OvFile::Resolve(directory, explicitPath)),
      lookUp_(lookUp) {}

std::string SettingsRule::PathFor(const std::string& documentPath) const {
  if (!explicitPath_.empty()) {
    return explicitPath_;
  }
  if (!lookUp_ || documentPath.empty() || documentPath.front() != '/') {
    return {};
  }
  const std::string first = Parent(documentPath);
  const std::string last = LastDirectory(first);
  for (std::string directory = first; !directory.empty(); directory = Parent(directory)) {
    // Another user's directory may hold a file of theirs: the look ends.
    if (OvFile::BelongsToAnother(directory)) {
      break;
    }
    const std::string candidate = (directory == "/" ? "" : directory) + "/" + kSettingsFileName;
    if (OvFile::Access(candidate, kAccessExists) == 0) {
      return candidate;
    }
    if (directory == last || directory == "/") {
      break;
    }
  }
  return {};
}

std::string SettingsRule::LastDirectory(const std::string& directory) const {
  std::string last;
  for (const std::string& root : roots_) {
    if (Within(directory, root) && root.size() > last.size()) {
      last = root;
    }
  }
  if (!last.empty()) {
    return last;
  }
  for (std::string above = directory; !above.empty(); above = Parent(above)) {
    if (OvFile::Access((above == "/" ? "" : above) + "/.git", kAccessExists) == 0) {
      return above;
    }
    if (above == "/") {
      break;
    }
  }
  return directory;
}

CompileSettings SettingsRule::Read(const std::string& settingsPath) {
  if (settingsPath.empty()) {
    return {};
  }
  const std::optional<OvFileStamp> stamp = FileStamp(settingsPath);
  const auto found = cache_.find(settingsPath);
  if (found != cache_.end() && found->second.stamp == stamp) {
    return found->second.settings;
  }
  Cached& cached = cache_[settingsPath];
  cached.stamp = stamp;
  cached.settings = ReadSettingsFile(
      settingsPath, explicitPath_.empty() ? OvSettingsOrigin::kFound : OvSettingsOrigin::kNamed);
  return cached.settings;
}

std::string SettingsRule::VersionOf(const std::string& settingsPath) const {
  return settingsPath.empty() ? std::string()
                              : settingsPath + "@" + StampText(FileStamp(settingsPath));
}

bool SettingsRule::IsSettingsFile(const std::string& path) const {
  if (!explicitPath_.empty()) {
    return path == explicitPath_;
  }
  const size_t slash = path.rfind('/');
  return path.substr(slash == std::string::npos ? 0 : slash + 1) == kSettingsFileName;
}

}  // namespace partsc::lsp
