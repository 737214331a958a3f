// The settings file and the preparation of file-name resolution.
#pragma once

namespace partsc {

// Prepares file-name resolution: reads the settings file of the session (when
// one was named), checks every class directory and SOURCE_DATE_EPOCH. 0 when
// ready; otherwise one line naming the problem has been printed on standard
// error and the answer is -1.
int initfiles();

}  // namespace partsc
