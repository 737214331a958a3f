// Which settings file a document's compile takes, and what it gives.
//
// The rule: the file named with --lsp -p SETTINGS, for every document; without
// -p, the nearest file named ORVA.SET in the document's directory or a
// directory above it; none when there is no such file.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "lsp/analysis.h"
#include "platform/ov_pipe.h"

namespace partsc::lsp {

inline constexpr const char* kSettingsFileName = "ORVA.SET";

class SettingsRule {
 public:
  // `explicitPath` is the -p file taken from `directory` (empty: none);
  // `lookUp` false takes no settings file at all.
  SettingsRule(std::string explicitPath, const std::string& directory, bool lookUp);

  // The settings file for the document at `path` (a file, or empty for a
  // document that names none); empty when there is none.
  std::string PathFor(const std::string& documentPath) const;
  // What the settings file at `settingsPath` gives, read again whenever it
  // changed; for an empty path, no settings.
  CompileSettings Read(const std::string& settingsPath);
  // A token that changes whenever the file at `settingsPath` does.
  std::string VersionOf(const std::string& settingsPath) const;
  // True when `name`, a file that changed, is a settings file of this rule.
  bool IsSettingsFile(const std::string& path) const;

 private:
  struct Cached {
    std::optional<OvFileStamp> stamp;
    CompileSettings settings;
  };

  std::string explicitPath_;
  bool lookUp_;
  std::map<std::string, Cached> cache_;
};

}  // namespace partsc::lsp
