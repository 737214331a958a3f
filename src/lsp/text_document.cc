#include "lsp/text_document.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>

#include "platform/ov_string_util.h"

namespace partsc::lsp {
namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The units one byte of a text adds in the position encoding: a Latin-1
// byte is one character, of two UTF-8 bytes from 128 on.
int64_t ByteUnits(unsigned char byte, PositionEncoding encoding, TextEncoding source) {
  if (source == TextEncoding::kLatin1) {
    return encoding == PositionEncoding::kUtf8 && byte >= 0x80 ? 2 : 1;
  }
  if (encoding == PositionEncoding::kUtf8) {
    return 1;
  }
  // A character of four bytes is two UTF-16 code units, any other one.
  return IsContinuation(byte) ? 0 : (byte >= 0xF0 ? 2 : 1);
}

}  // namespace

std::optional<std::string> FileBytes(std::string_view utf8, TextEncoding encoding) {
  return encoding == TextEncoding::kLatin1 ? Utf8ToLatin1(utf8) : std::string(utf8);
}

int64_t LineIndex::Units(std::string_view part, PositionEncoding encoding) const {
  if (encoding == PositionEncoding::kUtf8 && source_ == TextEncoding::kUtf8) {
    return static_cast<int64_t>(part.size());
  }
  int64_t units = 0;
  for (const char c : part) {
    units += ByteUnits(static_cast<unsigned char>(c), encoding, source_);
  }
  return units;
}

LineIndex::LineIndex(std::string_view text, TextEncoding source) : text_(text), source_(source) {
  starts_.push_back(0);
  bool ascii = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (c != '\n' && c != '\r') {
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
    }
    ascii_.push_back(ascii);
    ascii = true;
    starts_.push_back(i + 1);
  }
  ascii_.push_back(ascii);
}

size_t LineIndex::LineEnd(size_t line) const {
  if (line + 1 >= starts_.size()) {
    return text_.size();
  }
  size_t end = starts_[line + 1] - 1;  // the "\n" or lone "\r"
  if (text_[end] == '\n' && end > starts_[line] && text_[end - 1] == '\r') {
    --end;
  }
  return end;
}

size_t LineIndex::LineOf(size_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<size_t>(after - starts_.begin()) - 1;
}

size_t LineIndex::OffsetOf(Position position, PositionEncoding encoding) const {
  if (position.line < 0) {
    return 0;
  }
  if (static_cast<uint64_t>(position.line) >= starts_.size()) {
    return text_.size();
  }
  const auto line = static_cast<size_t>(position.line);
  const size_t start = starts_[line];
  const size_t end = LineEnd(line);
  const int64_t wanted = std::max<int64_t>(position.character, 0);
  if ((encoding == PositionEncoding::kUtf8 && source_ == TextEncoding::kUtf8) || ascii_[line]) {
    size_t at =
        start + static_cast<size_t>(std::min<int64_t>(wanted, static_cast<int64_t>(end - start)));
    while (at > start && at < end && IsContinuation(static_cast<unsigned char>(text_[at]))) {
      --at;
    }
    return at;
  }
  int64_t units = 0;
  size_t at = start;
  while (at < end) {
    int64_t width = ByteUnits(static_cast<unsigned char>(text_[at]), encoding, source_);
    size_t next = at + 1;
    while (source_ == TextEncoding::kUtf8 && next < end &&
           IsContinuation(static_cast<unsigned char>(text_[next]))) {
      width += ByteUnits(static_cast<unsigned char>(text_[next++]), encoding, source_);
    }
    if (units + width > wanted) {
      break;
    }
    units += width;
    at = next;
  }
  return at;
}

Position LineIndex::PositionOf(size_t offset, PositionEncoding encoding) const {
  offset = std::min(offset, text_.size());
  const size_t line = LineOf(offset);
  const size_t start = starts_[line];
  const size_t stop = std::min(offset, LineEnd(line));
  return Position{static_cast<int64_t>(line),
                  ascii_[line] ? static_cast<int64_t>(stop - start)
                               : Units(text_.substr(start, stop - start), encoding)};
}

Range LineIndex::RangeOf(size_t start, size_t end, PositionEncoding encoding) const {
  return Range{PositionOf(start, encoding), PositionOf(std::max(start, end), encoding)};
}

void ApplyChange(std::string& text, const Range& range, std::string_view replacement,
                 PositionEncoding encoding) {
  const LineIndex index(text);
  size_t start = index.OffsetOf(range.start, encoding);
  size_t end = index.OffsetOf(range.end, encoding);
  if (end < start) {
    std::swap(start, end);
  }
  text.replace(start, end - start, replacement);
}

std::string PathOfUri(std::string_view uri) {
  constexpr std::string_view kScheme = "file://";
  if (uri.substr(0, kScheme.size()) != kScheme) {
    return {};
  }
  std::string_view rest = uri.substr(kScheme.size());
  // "file://host/path": only the local host is taken.
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) {
    return {};
  }
  const std::string_view host = rest.substr(0, slash);
  if (!host.empty() && host != "localhost") {
    return {};
  }
  rest = rest.substr(slash);
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    const char* digits = rest.data() + i + 1;
    uint8_t byte = 0;
    if (rest[i] == '%' && i + 2 < rest.size() &&
        std::from_chars(digits, digits + 2, byte, 16).ptr == digits + 2) {
      path += static_cast<char>(byte);
      i += 2;
      continue;
    }
    path += rest[i];
  }
  return path;
}

}  // namespace partsc::lsp
