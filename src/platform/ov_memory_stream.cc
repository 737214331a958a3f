#include "platform/ov_memory_stream.h"

#include <cstdlib>

namespace partsc {

OvMemoryStream::~OvMemoryStream() {
  std::free(buffer_);
}

std::FILE* OvMemoryStream::OpenText(std::string_view text) {
  text_.assign(text);
  // A stream over no bytes at all still needs a buffer to point at.
  text_.reserve(1);
  return ::fmemopen(text_.data(), text_.size(), "r");
}

std::FILE* OvMemoryStream::OpenOutput() {
  text_.clear();
  std::FILE* stream = ::open_memstream(&buffer_, &size_);
  writing_ = stream != nullptr;
  return stream;
}

void OvMemoryStream::Closed() {
  // The memory the C library grew is ours once the stream is closed.
  if (writing_) {
    text_.assign(buffer_ == nullptr ? "" : buffer_, size_);
    std::free(buffer_);
    buffer_ = nullptr;
    size_ = 0;
    writing_ = false;
  }
}

std::string OvMemoryStream::Text() const {
  if (!writing_) {
    return text_;
  }
  return buffer_ == nullptr ? std::string() : std::string(buffer_, size_);
}

}  // namespace partsc
