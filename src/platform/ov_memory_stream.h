// A stream of the C library over memory: a text read piece by piece as a
// file is, or a text that keeps what is written to it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace partsc {

class OvMemoryStream {
 public:
  OvMemoryStream() = default;
  ~OvMemoryStream();
  OvMemoryStream(const OvMemoryStream&) = delete;
  OvMemoryStream& operator=(const OvMemoryStream&) = delete;

  // A stream that reads `text`, or one that keeps what is written; null
  // (errno set) when the C library cannot open one. The caller closes it
  // with fclose before it opens the next.
  std::FILE* OpenText(std::string_view text);
  std::FILE* OpenOutput();
  // Whether the last stream opened keeps what is written.
  bool Writing() const { return writing_; }
  // The text read, or what was written (so far: the caller flushes first;
  // also once the stream is closed).
  std::string Text() const;

 private:
  std::string text_;
  // What the C library grows while the stream is written, and keeps when
  // it is closed.
  char* buffer_ = nullptr;
  size_t size_ = 0;
  bool writing_ = false;
};

}  // namespace partsc
