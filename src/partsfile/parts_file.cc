#include "partsfile/parts_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "partsfile/result_codes.h"
#include "platform/ov_faults.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_signals.h"
#include "platform/ov_util.h"

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

// A hidden name beside the parts file: "/dir/bolt.prt" and ".lock" give
// "/dir/.bolt.prt.lock".
std::string HiddenBeside(const std::string& path, const char* suffix) {
  const size_t slash = path.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, name) + "." + path.substr(name) + suffix;
}

// Puts `temporary` in place of `path`, and the older file, if any, in place
// of its backup. `path` names a complete file at every moment: the older
// file takes a second, hidden name first, and the new file replaces it in
// one rename. When a step fails, the files are put back as they were (as far
// as the system lets) and `reason` says why.
int PutInPlace(const std::string& path, const std::string& temporary, std::string& reason) {
  if (OvFile::Sync(temporary) != 0) {
    reason = LastSystemError();
    return kPartsReplaceFailed;
  }
  const bool hasOlder = OvFile::Access(path, kAccessExists) == 0;
  std::string older;
  if (hasOlder && OvFile::LinkUnique(path, HiddenBeside(path, ".old-"), older) != 0) {
    reason = LastSystemError();
    return kPartsReplaceFailed;
  }
  if (OvFile::Rename(temporary, path) != 0) {
    reason = LastSystemError();
    if (hasOlder) {
      OvFile::Remove(older);
    }
    return kPartsReplaceFailed;
  }
  if (hasOlder && OvFile::Rename(older, BackupPath(path)) != 0) {
    reason = LastSystemError();
    if (OvFile::Rename(older, path) != 0) {
      reason += "; the previous file is left as " + older;
    }
    return kPartsReplaceFailed;
  }
  // The names are in place; a directory that cannot be synced is no reason
  // to undo them.
  OvFile::Sync(DirectoryOf(path));
  return kPartsOk;
}

}  // namespace

std::string BackupPath(const std::string& path) {
  return path + (OvFile::IsLowerCase(path) ? ".old" : ".OLD");
}

int ReadPartsFileBytes(const std::string& path, PartsFileBytes& bytes) {
  bytes = {};
  if (OvFile::Access(path, kAccessExists) != 0) {
    return kPartsNoFile;
  }
  OvFileIO file;
  if (!file.Open(path, kOpenPartsRead, kOpenPermission)) {
    return kPartsOpenFailed;
  }
  const int64_t length = file.Lseek(0, kSeekEnd);
  if (length < 0 || file.Lseek(0, kSeekStart) != 0) {
    return kReadShort;
  }
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return kNoMemory;
  }
  try {
    bytes.data = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(length));
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  // One read, but for a file larger than one read can take.
  constexpr int64_t kLargestRead = int64_t{1} << 30;
  for (int64_t done = 0; done < length;) {
    const auto count = static_cast<int>(std::min(length - done, kLargestRead));
    if (file.Read(bytes.data.get() + done, count) != count) {
      bytes = {};
      return kReadShort;
    }
    done += count;
  }
  bytes.size = static_cast<size_t>(length);
  return kPartsOk;
}

int PartsFileSink::Open(const std::string& path) {
  path_ = path;
  madeBackup_ = false;
  directoryLock_.Lock(DirectoryOf(path), OvLockMode::kExclusive);
  if (OvSignals::Caught() != 0) {
    return kPartsOpenFailed;  // the wait for the lock ended with a signal
  }
  if (OvFile::Access(path, kAccessExists) == 0) {
    const std::string backup = BackupPath(path);
    if (OvFile::Access(backup, kAccessExists) == 0) {
      OvFile::Remove(backup);
    }
    if (OvFile::Rename(path, backup) != 0) {
      return kPartsBackupFailed;
    }
    madeBackup_ = true;
  }
  return file_.Open(path, kOpenPartsWrite, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
}

bool PartsFileSink::WriteAt(int64_t position, const uint8_t* bytes, size_t count) {
  const int asked = static_cast<int>(count);
  return file_.Lseek(position, kSeekStart) == position && file_.Write(bytes, asked) == asked;
}

std::string PartsFileSink::WriteError() const {
  const std::string reason = file_.ErrorText();
  return reason.empty() ? std::string("a write fell short") : reason;
}

void PartsFileSink::Release() {
  file_.Close();
  directoryLock_.Unlock();
}

int ReplacingPartsFileSink::Open(const std::string& path) {
  path_ = path;
  directoryLock_.Lock(DirectoryOf(path), OvLockMode::kShared);
  fileLock_.LockCreating(HiddenBeside(path, ".lock"), OvLockMode::kExclusive);
  if (OvSignals::Caught() != 0) {
    return kPartsOpenFailed;  // the wait for a lock ended with a signal
  }
  std::string temporary;
  if (!file_.OpenUnique(HiddenBeside(path, ".new-"), temporary)) {
    return kPartsOpenFailed;
  }
  temporary_ = temporary;
  return kPartsOk;
}

int ReplacingPartsFileSink::Commit(std::string& reason) {
  if (temporary_.empty()) {
    return kPartsOk;
  }
  file_.Close();
  const bool hadOlder = OvFile::Access(path_, kAccessExists) == 0;
  const int result = PutInPlace(path_, temporary_, reason);
  if (result == kPartsOk) {
    temporary_.clear();
    madeBackup_ = hadOlder;
  }
  Discard();
  return result;
}

bool ReplacingPartsFileSink::Discard() {
  if (temporary_.empty()) {
    return false;
  }
  file_.Close();
  OvFile::Remove(temporary_);
  temporary_.clear();
  return true;
}

void ReplacingPartsFileSink::Release() {
  Discard();
  fileLock_.UnlockRemoving();
  PartsFileSink::Release();
}

int MemoryPartsSink::Open(const std::string& path) {
  path_ = path;
  bytes_.clear();
  return kPartsOk;
}

bool MemoryPartsSink::WriteAt(int64_t position, const uint8_t* bytes, size_t count) {
  // Each write is counted as a write to a file is, so that the seams can
  // refuse it; a refused write keeps half its bytes, as a full disk does.
  if (OvFaults::ShouldFail(OvFaultKind::kWrite)) {
    count /= 2;
    Store(position, bytes, count);
    return false;
  }
  Store(position, bytes, count);
  return true;
}

void MemoryPartsSink::Store(int64_t position, const uint8_t* bytes, size_t count) {
  const auto at = static_cast<size_t>(position);
  if (bytes_.size() < at + count) {
    bytes_.resize(at + count, '\0');
  }
  std::memcpy(bytes_.data() + at, bytes, count);
}

}  // namespace partsc
