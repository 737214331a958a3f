#include "platform/ov_file_bytes.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>

namespace partsc {
namespace {

// The mappings the guard knows, read by its handler: a mapping is the one
// state here that the whole process shares, as the signal is the process's.
struct GuardedMapping {
  std::atomic<uintptr_t> start{0};  // 0: a free record
  std::atomic<size_t> size{0};
  std::atomic<bool> cut{false};
};
static_assert(std::atomic<uintptr_t>::is_always_lock_free && std::atomic<size_t>::is_always_lock_free,
              "a handler may only touch lock-free atomics");

std::array<GuardedMapping, 4> guarded;
std::atomic<bool> guardInstalled{false};
std::atomic<uintptr_t> pageSize{4096};

// SIGBUS at `info->si_addr`: in a guarded mapping, the page there lies past
// the end of a file that was cut short; a page of zeros takes its place and
// the mapping is marked, so that the read goes on and the reader refuses
// it. Any other SIGBUS gets the default action when the access is made
// again. (mmap is a plain system call on Linux, safe in a handler.)
void OnBusError(int /*signal*/, siginfo_t* info, void* /*context*/) {
  const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (GuardedMapping& mapping : guarded) {
    const uintptr_t start = mapping.start.load();
    if (start == 0 || at < start || at - start >= mapping.size.load()) {
      continue;
    }
    void* page = reinterpret_cast<void*>(at & ~(pageSize.load() - 1));
    if (::mmap(page, pageSize.load(), PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      mapping.cut.store(true);
      return;
    }
  }
  ::signal(SIGBUS, SIG_DFL);
}

}  // namespace

void OvFileBytes::InstallGuard() {
  if (guardInstalled.exchange(true)) {
    return;
  }
  pageSize.store(static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE)));
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO;
  ::sigaction(SIGBUS, &action, nullptr);
}

bool OvFileBytes::Map(int fd, size_t size) {
  Clear();
  if (!guardInstalled.load() || size == 0) {
    return false;
  }
  // A free record is taken with a start of 1, which no address matches
  // while its size is 0.
  int slot = 0;
  for (uintptr_t free = 0; slot < static_cast<int>(guarded.size()); ++slot, free = 0) {
    if (guarded[static_cast<size_t>(slot)].start.compare_exchange_strong(free, 1)) {
      break;
    }
  }
  if (slot == static_cast<int>(guarded.size())) {
    return false;
  }
  GuardedMapping& mapping = guarded[static_cast<size_t>(slot)];
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) {
    mapping.start.store(0);
    return false;
  }
  mapping.cut.store(false);
  mapping.size.store(size);
  mapping.start.store(reinterpret_cast<uintptr_t>(data));
  mapped_ = static_cast<const char*>(data);
  mappedSize_ = size;
  slot_ = slot;
  return true;
}

std::string& OvFileBytes::Room(size_t size) {
  Clear();
  read_.resize(size);
  return read_;
}

void OvFileBytes::Clear() {
  read_.clear();
  if (mapped_ == nullptr) {
    return;
  }
  GuardedMapping& mapping = guarded[static_cast<size_t>(slot_)];
  ::munmap(const_cast<char*>(mapped_), mappedSize_);
  mapping.size.store(0);
  mapping.start.store(0);
  mapped_ = nullptr;
  mappedSize_ = 0;
  slot_ = -1;
}

bool OvFileBytes::Cut() const {
  return mapped_ != nullptr && guarded[static_cast<size_t>(slot_)].cut.load();
}

}  // namespace partsc
