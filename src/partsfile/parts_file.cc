#include "partsfile/parts_file.h"

#include <memory>

#include "partsfile/result_codes.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
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

std::string BackupName(const std::string& path) {
  return path + (OvFile::IsLowerCase(path) ? ".old" : ".OLD");
}

// Opens a new temporary file beside `path` for its new content. Runs that
// replace parts files share the directory lock and wait for each other on
// the lock file of each parts file; a run of the default mode has the
// directory alone.
int OpenForReplacing(PartsFile& parts, const std::string& path) {
  parts.directoryLock.Lock(DirectoryOf(path), OvLockMode::kShared);
  parts.fileLock.LockCreating(HiddenBeside(path, ".lock"), OvLockMode::kExclusive);
  std::string temporary;
  if (!parts.file.OpenUnique(HiddenBeside(path, ".new-"), temporary)) {
    return kPartsOpenFailed;
  }
  parts.pending = std::make_unique<PartsFile::Replacement>(PartsFile::Replacement{path, temporary});
  return kPartsOk;
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
  if (hasOlder && OvFile::Rename(older, BackupName(path)) != 0) {
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

int OpenPartsFile(PartsFile& parts, int mode, const std::string& given) {
  ClosePartsFile(parts);
  OvFileIO& file = parts.file;
  const std::string path = OvFile::Resolve(parts.directory, given);
  if (mode == kOpenForReading) {
    // The parts file being replaced reads from its new content.
    const bool pending = parts.pending != nullptr && path == parts.pending->path;
    const std::string& source = pending ? parts.pending->temporary : path;
    if (OvFile::Access(source, kAccessExists) != 0) {
      return kPartsNoFile;
    }
    return file.Open(source, kOpenPartsRead, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
  }
  DiscardPartsFile(parts);
  if (mode == kOpenForReplacing) {
    return OpenForReplacing(parts, path);
  }
  parts.directoryLock.Lock(DirectoryOf(path), OvLockMode::kExclusive);
  if (OvFile::Access(path, kAccessExists) == 0) {
    const std::string backup = BackupName(path);
    if (OvFile::Access(backup, kAccessExists) == 0) {
      OvFile::Remove(backup);
    }
    if (OvFile::Rename(path, backup) != 0) {
      return kPartsBackupFailed;
    }
  }
  return file.Open(path, kOpenPartsWrite, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
}

bool SeekTo(PartsFile& parts, int64_t position) {
  // A failed seek answers -1, so a negative position is refused before asking.
  OvFileIO& file = parts.file;
  return position >= 0 && file.Lseek(position, kSeekStart) == position;
}

void ClosePartsFile(PartsFile& parts) {
  parts.file.Close();
  parts.ForgetRead();
}

int CommitPartsFile(PartsFile& parts, std::string& reason) {
  if (parts.pending == nullptr) {
    return kPartsOk;
  }
  ClosePartsFile(parts);
  const int result = PutInPlace(parts.pending->path, parts.pending->temporary, reason);
  if (result == kPartsOk) {
    parts.pending.reset();
  }
  DiscardPartsFile(parts);
  return result;
}

bool DiscardPartsFile(PartsFile& parts) {
  if (parts.pending == nullptr) {
    return false;
  }
  ClosePartsFile(parts);
  OvFile::Remove(parts.pending->temporary);
  parts.pending.reset();
  return true;
}

bool PartsFilePending(const PartsFile& parts) {
  return parts.pending != nullptr;
}

void ReleasePartsFile(PartsFile& parts) {
  DiscardPartsFile(parts);
  ClosePartsFile(parts);
  parts.fileLock.Unlock();
  parts.directoryLock.Unlock();
}

std::string PartsFileError(const PartsFile& parts) {
  const std::string reason = parts.file.ErrorText();
  return reason.empty() ? std::string("a write fell short") : reason;
}

}  // namespace partsc
