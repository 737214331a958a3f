// A source cut into the pieces the compile reads it in.
#pragma once

#include <cstddef>
#include <string_view>

namespace partsc {

// The longest piece: a line buffer of 80 characters with its terminator.
inline constexpr size_t kPieceMax = 79;

// Hands out the pieces of a text as C's fgets with a buffer of 80 reads them
// from a file: at most 79 characters, up to and including a line feed, so
// that a longer line arrives in several pieces (a line of exactly 79
// characters is followed by its line feed alone). A piece shows its
// characters up to its first zero byte, as the C string fgets fills.
class PieceReader {
 public:
  explicit PieceReader(std::string_view text)
      : text_(text), zeros_(text.find('\0') != std::string_view::npos) {}

  // The next piece, with its line feed when it ends its line; false at the
  // end of the text. `end`, when given, gets the offset after what was read.
  bool Next(std::string_view& piece, size_t* end = nullptr) {
    if (at_ >= text_.size()) {
      return false;
    }
    const std::string_view rest = text_.substr(at_, kPieceMax);
    const size_t feed = rest.find('\n');
    const std::string_view read = feed == std::string_view::npos ? rest : rest.substr(0, feed + 1);
    at_ += read.size();
    piece = zeros_ ? read.substr(0, read.find('\0')) : read;
    if (end != nullptr) {
      *end = at_;
    }
    return true;
  }

 private:
  std::string_view text_;
  bool zeros_;  // whether the text holds a zero byte at all
  size_t at_ = 0;
};

}  // namespace partsc
