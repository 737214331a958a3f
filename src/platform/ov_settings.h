// The settings file and the preparation of file-name resolution.
#pragma once

#include <string>

#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_session.h"

namespace partsc {

// Prepares file-name resolution for a run whose current directory is
// `directory`: reads the settings file of the session (when one was named),
// checks every class directory and SOURCE_DATE_EPOCH, and sets `classes` and
// the session's mode of writing parts files. 0 when ready; otherwise one line
// naming the problem has been printed on the console's standard error and the
// answer is -1.
int initfiles(OvConsole& console, OvSession& session, const std::string& directory,
              OvClassDirectories& classes);

}  // namespace partsc
