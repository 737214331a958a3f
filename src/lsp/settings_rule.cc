#include "lsp/settings_rule.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/ov_file.h"

namespace partsc::lsp {
namespace {

// Whether `directory` is `root` or lies below it.
bool Within(const std::string& directory, const std::string& root) {
  return directory == root ||
         (directory.starts_with(root) && (root == "/" || directory[root.size()] == '/'));
}

}  // namespace

SettingsRule::SettingsRule(std::string explicitPath, const std::string& directory, bool lookUp,
                           SettingsReader reader)
    : explicitPath_(explicitPath.empty() ? std::string()
                                         : OvFile::Resolve(directory, explicitPath)),
      lookUp_(lookUp),
      reader_(std::move(reader)) {}

std::string SettingsRule::PathFor(const std::string& documentPath) const {
  if (!explicitPath_.empty()) {
    return explicitPath_;
  }
  if (!lookUp_ || documentPath.empty() || documentPath.front() != '/') {
    return {};
  }
  const std::string first = OvFile::DirectoryOf(documentPath);
  const std::string last = LastDirectory(first);
  for (std::string directory = first;; directory = OvFile::DirectoryOf(directory)) {
    // Another user's directory may hold a file of theirs: the look ends.
    if (OvFile::BelongsToAnother(directory)) {
      break;
    }
    const std::string candidate = (directory == "/" ? "" : directory) + "/" + kSettingsFileName;
    if (OvFile::Access(candidate).Ok()) {
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
  for (std::string above = directory;; above = OvFile::DirectoryOf(above)) {
    if (OvFile::Access((above == "/" ? "" : above) + "/.git").Ok()) {
      return above;
    }
    if (above == "/") {
      break;
    }
  }
  return directory;
}

CompileSettings SettingsRule::Read(const std::string& settingsPath) {
  if (settingsPath.empty() || !reader_) {
    return {};
  }
  const std::optional<OvFileStamp> stamp = FileStamp(settingsPath);
  const auto found = cache_.find(settingsPath);
  if (found != cache_.end() && found->second.stamp == stamp) {
    return found->second.settings;
  }
  Cached& cached = cache_[settingsPath];
  cached.stamp = stamp;
  cached.settings = reader_(
      settingsPath, explicitPath_.empty() ? OvSettingsOrigin::kFound : OvSettingsOrigin::kNamed);
  return cached.settings;
}

}  // namespace partsc::lsp
