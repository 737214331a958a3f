// A file's bytes held whole, for a reader that goes over them from the first
// to the last: a source, or a parts file read back. In the program, a
// regular file is mapped read-only from the page cache, which takes no fresh
// memory; else (a run inside another program, a mapping refused) it is read
// into memory that is kept from one file to the next. Fresh memory costs a
// page fault for each page it takes, and on a virtual machine that is the
// largest part of reading a large file.
//
// A mapped file that another process cuts short would raise SIGBUS at the
// first page past its new end. The guard that the program installs puts a
// page of zeros there instead and marks the bytes as cut: the reader asks
// Cut() and refuses what it read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace partsc {

class OvFileBytes {
 public:
  OvFileBytes() = default;
  ~OvFileBytes() { Clear(); }
  OvFileBytes(const OvFileBytes&) = delete;
  OvFileBytes& operator=(const OvFileBytes&) = delete;

  // Installs the SIGBUS handler that guards mappings; until then nothing is
  // mapped. The program's main does it; a library call or a test that does
  // not leaves SIGBUS to its own program.
  static void InstallGuard();

  // `size` bytes (more than 0) of the regular file open on `fd`, mapped.
  // False, with nothing held, when the guard is not installed or the
  // mapping is refused: the caller reads the file with Room() instead.
  bool Map(int fd, size_t size);
  // The memory to read the file into, `size` bytes long (its earlier room
  // kept); a mapping held before is let go.
  std::string& Room(size_t size);
  // Lets go of the bytes; the room read into is kept.
  void Clear();

  std::string_view View() const {
    return mapped_ != nullptr ? std::string_view(mapped_, mappedSize_) : std::string_view(read_);
  }
  size_t Size() const { return View().size(); }
  // Whether the file was cut short while mapped: the bytes past its new end
  // read as zeros. Asked after the bytes were gone over.
  bool Cut() const;

 private:
  const char* mapped_ = nullptr;
  size_t mappedSize_ = 0;
  int slot_ = -1;  // the guard's record of the mapping
  std::string read_;
};

}  // namespace partsc
