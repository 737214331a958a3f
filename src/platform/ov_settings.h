// The settings file and the preparation of file-name resolution.
#pragma once

#include <cstddef>
#include <string>

#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_session.h"

namespace partsc {

// The most bytes of a settings file: 64 KiB.
inline constexpr size_t kSettingsReadLimit = 64 * 1024;

// Where the settings file comes from: named by the user (-p, a pipe will do),
// or found by looking for it (the language server), when it must be a
// regular file of the run's user.
enum class OvSettingsOrigin { kNamed, kFound };

// Prepares file-name resolution for a run whose current directory is
// `directory`: reads the settings file of the session (when one was named;
// at most kSettingsReadLimit bytes), checks every class directory,
// SOURCE_DATE_EPOCH and PARTSC_LOCK_WAIT, and sets `classes` and the
// session's mode of writing parts files. 0 when ready; otherwise one line
// naming the problem has been printed on the console's standard error and the
// answer is -1.
int initfiles(OvConsole& console, OvSession& session, const std::string& directory,
              OvClassDirectories& classes, OvSettingsOrigin origin = OvSettingsOrigin::kNamed);

}  // namespace partsc
