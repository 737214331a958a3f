#include "storage/whole_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_util.h"

namespace partsc {

OvResult<WholeWrite> ReplaceWholeFile(const std::string& path, std::string_view text) {
  struct stat named {};
  const bool exists = ::lstat(path.c_str(), &named) == 0;
  OvFileIO file;
  if (exists && !S_ISREG(named.st_mode)) {
    if (!file.Fopen(path, "w")) {
      return {WholeWrite::kNotOpened, file.ErrorText()};
    }
    file.FwriteData(text);
    file.Fclose();
    std::string reason = file.ErrorText();
    return {reason.empty() ? WholeWrite::kDone : WholeWrite::kNotWritten, std::move(reason)};
  }
  const std::optional<std::string> temporary = file.OpenUnique(OvFile::HiddenBeside(path, ".new-"));
  if (!temporary) {
    return {WholeWrite::kNotOpened, file.ErrorText()};
  }
  // The reason of a failed step is taken at once, before the next step.
  const int count = static_cast<int>(text.size());
  std::string reason;
  if (text.size() > static_cast<size_t>(INT32_MAX)) {
    reason = SystemErrorText(EFBIG);
  } else if (file.Write(text.data(), count) != count) {
    reason = file.ErrorText();
  } else if (exists) {
    reason = file.SetPermission(static_cast<int>(named.st_mode & 0777)).reason;
  }
  file.Close();
  if (reason.empty()) {
    reason = OvFile::Rename(*temporary, path).reason;
  }
  if (reason.empty()) {
    return {};
  }
  OvFile::Remove(*temporary);
  return {WholeWrite::kNotWritten, std::move(reason)};
}

}  // namespace partsc
