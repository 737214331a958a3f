// Follows the pieces a line reader hands out (at most 79 characters each, a
// longer line arriving in several) back to the lines of the file.
#pragma once

#include <string_view>

namespace partsc {

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

}  // namespace partsc
