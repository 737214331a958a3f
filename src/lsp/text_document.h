// The text of an open document, its lines as the protocol counts them, and
// the conversion between byte offsets and the protocol's positions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace partsc::lsp {

// How the character of a position counts: UTF-16 code units (the protocol's
// default) or bytes of UTF-8.
enum class PositionEncoding { kUtf16, kUtf8 };

// How the bytes of a text stand for its characters: the file's own
// encoding, in which the text is compiled. The client always holds UTF-8.
enum class TextEncoding { kUtf8, kLatin1 };

struct Position {
  int64_t line = 0;
  int64_t character = 0;
};

struct Range {
  Position start;
  Position end;
};

// The lines of a text as the protocol counts them: ended by "\n", "\r\n" or
// "\r". The index keeps a view of the text, which must outlive it.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text, TextEncoding source = TextEncoding::kUtf8);

  size_t LineCount() const { return starts_.size(); }
  // The byte offsets of the first character of a line and of its end (before
  // the line's end marker).
  size_t LineStart(size_t line) const { return starts_[line]; }
  size_t LineEnd(size_t line) const;

  // The byte offset of a position; a position past the end of its line
  // stands at the line's end, one past the last line at the text's end, one
  // inside a character at that character.
  size_t OffsetOf(Position position, PositionEncoding encoding) const;
  // The position of a byte offset; an offset inside a line's end marker
  // stands at the line's end.
  Position PositionOf(size_t offset, PositionEncoding encoding) const;
  Range RangeOf(size_t start, size_t end, PositionEncoding encoding) const;
  // The units of a part of the text in the position encoding.
  int64_t Units(std::string_view part, PositionEncoding encoding) const;

 private:
  size_t LineOf(size_t offset) const;

  std::string_view text_;
  TextEncoding source_;
  std::vector<size_t> starts_;
  std::vector<bool> ascii_;  // per line: only bytes below 128
};

// The UTF-8 text of the client in the bytes of a file of `encoding`.
std::optional<std::string> FileBytes(std::string_view utf8, TextEncoding encoding);

// One open document: its text and version.
struct TextDocument {
  std::string uri;
  std::string path;  // the file the uri names; the uri itself when it names none
  int64_t version = 0;
  std::string text;
};

// Replaces the part of `text` that `range` covers with `replacement`.
void ApplyChange(std::string& text, const Range& range, std::string_view replacement,
                 PositionEncoding encoding);

// The file a "file:" uri names, with its %XX escapes decoded; empty for any
// other uri.
std::string PathOfUri(std::string_view uri);

}  // namespace partsc::lsp
