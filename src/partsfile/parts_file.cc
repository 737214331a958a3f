#include "partsfile/parts_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "platform/ov_faults.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc {

std::string BackupPath(const std::string& path) {
  return path + (OvFile::IsLowerCase(path) ? ".old" : ".OLD");
}

OvResult<ReadStatus> ReadPartsFileBytes(const std::string& path, OvFileBytes& bytes) {
  using Read = OvResult<ReadStatus>;
  bytes.Clear();
  if (OvFileResult found = OvFile::Access(path); !found.Ok()) {
    return Read::Failed(ReadStatus::kNoFile, std::move(found.reason));
  }
  OvFileIO file;
  if (!file.Open(path, kOpenPartsRead, kOpenPermission)) {
    return Read::Failed(ReadStatus::kOpenFailed, file.ErrorText());
  }
  const int64_t length = file.Lseek(0, kSeekEnd);
  if (length < 0 || file.Lseek(0, kSeekStart) != 0) {
    return Read::Failed(ReadStatus::kShort, file.ErrorText());
  }
  if (bytes.Map(file.Descriptor(), static_cast<size_t>(length))) {
    return {};
  }
  const Read noMemory = Read::Failed(ReadStatus::kNoMemory, "out of memory");
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return noMemory;
  }
  char* room = nullptr;
  try {
    room = bytes.Room(static_cast<size_t>(length)).data();
  } catch (const std::bad_alloc&) {
    return noMemory;
  }
  // One read, but for a file larger than one read can take.
  constexpr int64_t kLargestRead = int64_t{1} << 30;
  for (int64_t done = 0; done < length;) {
    const auto count = static_cast<int>(std::min(length - done, kLargestRead));
    if (file.Read(room + done, count) != count) {
      bytes.Clear();
      return Read::Failed(ReadStatus::kShort, "the read fell short");
    }
    done += count;
  }
  return {};
}

SinkResult MemoryPartsSink::Open(const std::string& path) {
  path_ = path;
  bytes_.clear();
  return {};
}

SinkResult MemoryPartsSink::WriteAt(int64_t position, const uint8_t* bytes, size_t count) {
  // Each write is counted as a write to a file is, so that the seams can
  // refuse it; a refused write keeps half its bytes, as a full disk does.
  const bool refused = OvFaults::ShouldFail(OvFaultKind::kWrite);
  Store(position, bytes, refused ? count / 2 : count);
  return refused ? SinkResult::Failed(SinkStatus::kWriteFailed, "a write fell short")
                 : SinkResult{};
}

SinkResult ProbingPartsSink::Open(const std::string& path) {
  if (OvFileResult probe = OvFile::ProbeCreate(path); !probe.Ok()) {
    return SinkResult::Failed(SinkStatus::kOpenFailed, std::move(probe.reason));
  }
  return MemoryPartsSink::Open(path);
}

void MemoryPartsSink::Store(int64_t position, const uint8_t* bytes, size_t count) {
  const auto at = static_cast<size_t>(position);
  if (bytes_.size() < at + count) {
    bytes_.resize(at + count, '\0');
  }
  std::memcpy(bytes_.data() + at, bytes, count);
}

}  // namespace partsc
