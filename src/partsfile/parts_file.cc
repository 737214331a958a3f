#include "partsfile/parts_file.h"

#include "partsfile/parts_state.h"
#include "partsfile/result_codes.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc {
namespace {

// The directory part of a path: "/a/b" gives "/a", "/b" gives "/", a path
// without "/" the current directory.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

int OpenPartsFile(int mode, const std::string& path) {
  ClosePartsFile();
  OvFileIO& file = PartsFileState::Instance().partsFile;
  if (mode == kOpenForReading) {
    if (OvFile::Access(path, kAccessExists) != 0) {
      return kPartsNoFile;
    }
    return file.Open(path, kOpenPartsRead, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
  }
  PartsFileState::Instance().directoryLock.Lock(DirectoryOf(path), OvLockMode::kExclusive);
  if (OvFile::Access(path, kAccessExists) == 0) {
    const std::string backup = path + (OvFile::IsLowerCase(path) ? ".old" : ".OLD");
    if (OvFile::Access(backup, kAccessExists) == 0) {
      OvFile::Remove(backup);
    }
    if (OvFile::Rename(path, backup) != 0) {
      return kPartsBackupFailed;
    }
  }
  return file.Open(path, kOpenPartsWrite, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
}

bool SeekTo(int64_t position) {
  // A failed seek answers -1, so a negative position is refused before asking.
  OvFileIO& file = PartsFileState::Instance().partsFile;
  return position >= 0 && file.Lseek(position, kSeekStart) == position;
}

void ClosePartsFile() {
  PartsFileState& state = PartsFileState::Instance();
  state.partsFile.Close();
  state.ForgetRead();
}

void ReleasePartsFile() {
  ClosePartsFile();
  PartsFileState::Instance().directoryLock.Unlock();
}

std::string PartsFileError() {
  const std::string reason = PartsFileState::Instance().partsFile.ErrorText();
  return reason.empty() ? std::string("a write fell short") : reason;
}

}  // namespace partsc
