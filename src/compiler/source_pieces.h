// A source cut into the pieces the compile reads it in, each followed back
// to its line of the file.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/ov_string_util.h"

namespace partsc {

// The line buffer that a source and the control file are read through, 80
// characters with its terminator, and so the longest piece a line arrives
// in.
inline constexpr int kLineBuffer = 80;
inline constexpr size_t kPieceMax = kLineBuffer - 1;

// Follows the pieces a line reader hands out (at most 79 characters each, a
// longer line arriving in several) back to the lines of the file.
class LinePieces {
 public:
  // Takes the next piece as read, with its line feed when the piece ended
  // its line.
  void Take(std::string_view piece) {
    if (lineEnded_) {
      ++physicalLine_;
      startColumn_ = 1;
      lineLength_ = 0;
      pieces_ = 0;
    } else {
      startColumn_ += static_cast<int>(lastLength_);
    }
    lineEnded_ = !piece.empty() && piece.back() == '\n';
    lastLength_ = piece.size() - (lineEnded_ ? 1 : 0);
    lineLength_ += static_cast<int>(lastLength_);
    ++pieces_;
  }
  // Marks the end of the file: the last piece ended its line.
  void EndOfFile() { lineEnded_ = true; }

  // The line of the file that the last piece belongs to, from 1.
  int PhysicalLine() const { return physicalLine_; }
  // The column of the last piece's first character, from 1.
  int StartColumn() const { return startColumn_; }
  // True when the last piece ended its line.
  bool LineEnded() const { return lineEnded_; }
  // The characters of the line up to the end of the last piece, and the
  // pieces it arrived in.
  int LineLength() const { return lineLength_; }
  int Pieces() const { return pieces_; }

 private:
  int physicalLine_ = 0;
  int startColumn_ = 1;
  size_t lastLength_ = 0;
  int lineLength_ = 0;
  int pieces_ = 0;
  bool lineEnded_ = true;
};

// Hands out the pieces of a text as C's fgets with a buffer of 80 reads them
// from a file: at most 79 characters, up to and including a line feed, so
// that a longer line arrives in several pieces (a line of exactly 79
// characters is followed by its line feed alone). A piece shows its
// characters up to its first zero byte, as the C string fgets fills.
class PieceReader {
 public:
  explicit PieceReader(std::string_view text)
      : text_(text), zeros_(text.find('\0') != std::string_view::npos) {}

  // The next piece with its line end trimmed, followed back to its line
  // when `follow`; false at the end of the text. Inlined: the compile calls
  // it for every line of both passes.
  [[gnu::always_inline]] bool Next(std::string_view& line, bool follow = true) {
    if (at_ >= text_.size()) {
      lines_.EndOfFile();
      return false;
    }
    const std::string_view rest = text_.substr(at_, kPieceMax);
    const size_t feed = rest.find('\n');
    const std::string_view read = feed == std::string_view::npos ? rest : rest.substr(0, feed + 1);
    at_ += read.size();
    const std::string_view piece = zeros_ ? read.substr(0, read.find('\0')) : read;
    // The file's lines and columns count every byte read, also those after
    // a zero byte that the piece leaves out.
    if (follow) {
      lines_.Take(read);
    }
    line = TrimmedLineEnd(piece);
    return true;
  }

  // Where the last piece lies in the file.
  const LinePieces& Lines() const { return lines_; }
  // The offset of a piece in the text.
  size_t OffsetOf(std::string_view line) const {
    return static_cast<size_t>(line.data() - text_.data());
  }

 private:
  std::string_view text_;
  bool zeros_;  // whether the text holds a zero byte at all
  size_t at_ = 0;
  LinePieces lines_;
};

}  // namespace partsc
