// Which settings file a document's compile takes, and what it gives.
//
// The rule: the file named with --lsp -p SETTINGS, for every document; without
// -p, the nearest file named ORVA.SET in the document's directory or a
// directory above it, up to the workspace folder that holds the document (or
// without one, the repository: a directory that holds .git), and never in or
// above a directory that belongs to another user; none when there is no such
// file. A file that was looked for is used only when it is a regular file of
// the user's own, of at most 64 KiB; else its one problem is named.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lsp/analysis.h"
#include "platform/ov_pipe.h"
#include "platform/ov_settings.h"

namespace partsc::lsp {

// Reads the settings file at `path` as a run with -p does: what a
// document's compile takes from it, or the one problem that keeps it from
// being used.
using SettingsReader =
    std::function<CompileSettings(const std::string& path, OvSettingsOrigin origin)>;

class SettingsRule {
 public:
  // `explicitPath` is the -p file taken from `directory` (empty: none);
  // `lookUp` false takes no settings file at all; `reader` reads one (empty:
  // none is read).
  SettingsRule(std::string explicitPath, const std::string& directory, bool lookUp,
               SettingsReader reader = {});

  // The workspace folders the client named (absolute paths).
  void SetRoots(std::vector<std::string> roots) { roots_ = std::move(roots); }
  // The settings file for the document at `path` (a file, or empty for a
  // document that names none); empty when there is none.
  std::string PathFor(const std::string& documentPath) const;
  // What the settings file at `settingsPath` gives, read again whenever it
  // changed; for an empty path, no settings.
  CompileSettings Read(const std::string& settingsPath);

 private:
  struct Cached {
    std::optional<OvFileStamp> stamp;
    CompileSettings settings;
  };

  // Where the look for a settings file ends, going up from `directory`.
  std::string LastDirectory(const std::string& directory) const;

  std::string explicitPath_;
  bool lookUp_;
  SettingsReader reader_;
  std::vector<std::string> roots_;
  std::map<std::string, Cached> cache_;
};

}  // namespace partsc::lsp
