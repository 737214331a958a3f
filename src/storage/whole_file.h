// A text file written whole: the name holds the old content or the new,
// never a part of either.
#pragma once

#include <string>
#include <string_view>

#include "diagnostics/sinks.h"
#include "platform/ov_result.h"

namespace partsc {

// Makes `text` the whole content of `path`: the text goes into a new hidden
// file beside it (".NAME.new-" and random characters, O_EXCL), which then
// takes the name by rename and the old file's permission bits; it is
// removed when any step fails. A name that is a link the run may follow or
// no regular file (a FIFO, a device) is written in place as OvFileIO::Fopen
// "w" does. What came of it, with the reason of a failure.
OvResult<WholeWrite> ReplaceWholeFile(const std::string& path, std::string_view text);

}  // namespace partsc
