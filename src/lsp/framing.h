// The framing of the language server's messages: a header block with
// Content-Length, a blank line, then that many bytes of JSON.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace partsc::lsp {

// The largest message body taken; a larger one is skipped with an error.
inline constexpr size_t kMaxMessageBytes = size_t{64} << 20;
// The longest header block looked for before the bytes are given up.
inline constexpr size_t kMaxHeaderBytes = 4096;

// One thing the reader found: a message body, or what was wrong with the
// bytes it could not take as one.
struct Frame {
  bool isMessage = false;
  std::string text;  // the body, or the problem
};

// Cuts a stream of bytes into message bodies. Bytes come in as they arrive,
// in pieces of any size; whatever they hold, the reader never stops: after a
// header it cannot read, it looks for the next "Content-" header and reads on
// from there.
class MessageReader {
 public:
  explicit MessageReader(size_t maxBody = kMaxMessageBytes) : maxBody_(maxBody) {}

  void Feed(std::string_view bytes);
  // The next body or problem; none while the bytes so far hold neither.
  std::optional<Frame> Next();

 private:
  enum class State { kHeader, kBody, kSkip };

  std::string_view Pending() const { return std::string_view(buffer_).substr(start_); }
  void Consume(size_t count);
  std::optional<Frame> NextHeader();
  void SkipGarbage();
  std::optional<Frame> ReportSkipped();
  std::optional<Frame> ParseHeader(std::string_view block);

  size_t maxBody_;
  std::string buffer_;
  size_t start_ = 0;  // the first byte of buffer_ not yet taken
  State state_ = State::kHeader;
  size_t remaining_ = 0;      // the body's length (kBody), or what is left to skip (kSkip)
  size_t skipped_ = 0;        // bytes dropped before the next header, not reported yet
  bool skippedText_ = false;  // some of them were more than blanks and line ends
};

// `body` with its header: "Content-Length: N\r\n\r\n" and the body.
std::string FrameMessage(std::string_view body);

}  // namespace partsc::lsp
