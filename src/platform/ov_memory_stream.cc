#include "platform/ov_memory_stream.h"

#include <cstdlib>
#include <utility>

namespace partsc {

OvMemoryStream::~OvMemoryStream() {
  std::free(buffer_);
}

std::FILE* OvMemoryStream::OpenText(std::string_view text) {
  std::free(std::exchange(buffer_, nullptr));
  writing_ = false;
  text_.assign(text);
  // A stream over no bytes at all still needs a buffer to point at.
  text_.reserve(1);
  return ::fmemopen(text_.data(), text_.size(), "r");
}

std::FILE* OvMemoryStream::OpenOutput() {
  std::free(std::exchange(buffer_, nullptr));
  size_ = 0;
  text_.clear();
  std::FILE* stream = ::open_memstream(&buffer_, &size_);
  writing_ = stream != nullptr;
  return stream;
}

std::string OvMemoryStream::Text() const {
  return buffer_ == nullptr ? text_ : std::string(buffer_, size_);
}

}  // namespace partsc
