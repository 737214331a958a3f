// The settings file and the preparation of file-name resolution.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ov_console.h"
#include "platform/ov_file.h"

namespace partsc {

// The name of the settings file that the language server looks for and
// --init writes.
inline constexpr const char* kSettingsFileName = "ORVA.SET";

// The most bytes of a settings file: 64 KiB.
inline constexpr size_t kSettingsReadLimit = 64 * 1024;

// Where the settings file comes from: named by the user (-p, a pipe will do),
// or found by looking for it (the language server), when it must be a
// regular file of the run's user.
enum class OvSettingsOrigin { kNamed, kFound };

// A line of the settings file: where it is, for a complaint ("ORVA.SET:4: "),
// and the directory of the file, which a relative path is taken from.
struct OvSettingsLine {
  std::string where;
  std::string directory;
  // `path` taken from the settings file's directory: absolute, without
  // empty or "." components ("..", as written: links are not resolved).
  std::string Absolute(std::string_view path) const;
};

// A key or a value as a complaint about a settings line shows it: between
// double quotes, as written.
std::string QuotedSetting(std::string_view text);

// The keys a program adds to the settings file beside the class
// directories, and what it makes of their values.
class OvSettingsKeys {
 public:
  virtual ~OvSettingsKeys() = default;
  virtual bool Knows(std::string_view key) const = 0;
  // Takes the value (not empty) of a key it knows, given once in the file;
  // false after one complaint on the console.
  virtual bool Take(OvConsole& console, std::string_view key, std::string_view value,
                    const OvSettingsLine& line) = 0;
};

// Prepares file-name resolution for a run whose current directory is
// `directory`: reads the settings file `settingsPath` (when one was named
// with -p; at most kSettingsReadLimit bytes), its lines in order, the class
// directories checked and the other keys handed to `keys`; checks
// SOURCE_DATE_EPOCH and PARTSC_LOCK_WAIT, and sets `classes`. 0 when ready;
// otherwise one line naming the problem has been printed on the console's
// standard error and the answer is -1.
int initfiles(OvConsole& console, const std::string& settingsPath, const std::string& directory,
              OvClassDirectories& classes, OvSettingsKeys& keys,
              OvSettingsOrigin origin = OvSettingsOrigin::kNamed);

}  // namespace partsc
