#include "platform/ov_lock.h"

#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string_view>

#include "platform/ov_escape.h"
#include "platform/ov_signals.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

// The number of a line of /proc/locks that is a flock held (not waited
// for) on the file `status` describes; 0 when it is not one.
pid_t FlockHolderOf(const std::string& line, const struct stat& status) {
  char kind[16] = {};
  long pid = 0;
  unsigned major = 0;
  unsigned minor = 0;
  unsigned long long inode = 0;
  // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter, which
  // holds nothing yet, has "->" where the kind stands.
  if (std::sscanf(line.c_str(), "%*d: %15s %*s %*s %ld %x:%x:%llu", kind, &pid, &major, &minor,
                  &inode) != 5 ||
      std::strcmp(kind, "FLOCK") != 0) {
    return 0;
  }
  const bool same = major == ::major(status.st_dev) && minor == ::minor(status.st_dev) &&
                    inode == static_cast<unsigned long long>(status.st_ino);
  return same ? static_cast<pid_t>(pid) : 0;
}

// What follows `key` on the first line of a small file of /proc that begins
// with it, trimmed of blanks and tabs.
std::string ProcLine(const std::string& path, std::string_view key = {}) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.starts_with(key)) {
      return std::string(OvStringUtil::TrimBlanks(std::string_view(line).substr(key.size())));
    }
  }
  return {};
}

// "process 1234 (partsc) of user alice", from /proc.
std::string DescribeProcess(pid_t pid) {
  const std::string base = "/proc/" + std::to_string(pid);
  const std::string name = EscapeControls(ProcLine(base + "/comm"));
  std::string text = "process " + std::to_string(pid);
  if (!name.empty()) {
    text += " (" + name + ")";
  }
  const std::string uid = ProcLine(base + "/status", "Uid:");
  if (uid.empty()) {
    return text;
  }
  const auto id = static_cast<uid_t>(std::strtoul(uid.c_str(), nullptr, 10));
  passwd entry{};
  passwd* found = nullptr;
  std::array<char, 1024> buffer{};
  if (::getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
    return text + " of user " + EscapeControls(found->pw_name);
  }
  return text + " of user " + std::to_string(id);
}

// Who holds a lock on the file open on `fd`, as far as the system tells:
// "process 1234 (partsc) of user alice"; "another process" when it cannot
// be told; "this process" for a lock of its own through another descriptor.
std::string LockHolder(int fd) {
  struct stat status {};
  std::ifstream locks("/proc/locks");
  pid_t holder = 0;
  if (::fstat(fd, &status) == 0) {
    for (std::string line; holder == 0 && std::getline(locks, line);) {
      holder = FlockHolderOf(line, status);
    }
  }
  if (holder == ::getpid()) {
    return "this process";
  }
  return holder > 0 ? DescribeProcess(holder) : "another process";
}

}  // namespace

int LockWaitSeconds() {
  constexpr int kDefault = 10;
  const char* text = std::getenv("PARTSC_LOCK_WAIT");
  return text != nullptr && IsLockWait(text) ? std::atoi(text) : kDefault;
}

bool IsLockWait(const char* text) {
  constexpr size_t kDigits = 5;
  constexpr long kMost = 86400;
  const std::string_view digits(text);
  if (digits.empty() || digits.size() > kDigits ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  return std::strtol(text, nullptr, 10) <= kMost;
}

OvLocked LockDescriptor(int fd, OvLockMode mode, bool wait) {
  const int operation = (mode == OvLockMode::kExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(LockWaitSeconds());
  // Another run may hold the lock for long: the wait looks again at growing
  // intervals, and a signal or the end of the wait ends it.
  long pauseNs = 5'000'000;
  for (;;) {
    if (::flock(fd, operation) == 0) {
      return {};
    }
    const int error = errno;
    if ((error != EWOULDBLOCK && error != EINTR) || (wait && OvSignals::Caught() != 0)) {
      return {{OvLockResult::kFailed, SystemErrorText(error)}, error};
    }
    if (!wait) {
      return {{OvLockResult::kBusy, {}}};
    }
    if (Clock::now() >= deadline) {
      return {{OvLockResult::kTimedOut, LockHolder(fd)}};
    }
    const timespec pause{0, pauseNs};
    ::nanosleep(&pause, nullptr);
    pauseNs = std::min(pauseNs * 2, 100'000'000L);
  }
}

}  // namespace partsc
