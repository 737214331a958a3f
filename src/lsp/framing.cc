#include "lsp/framing.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/ov_string_util.h"

namespace partsc::lsp {
namespace {

constexpr std::string_view kHeaderStart = "content-";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// True when `text` begins with "content-" in any case, or, shorter, could
// still become it.
bool StartsLikeHeader(std::string_view text) {
  const size_t length = std::min(text.size(), kHeaderStart.size());
  return EqualsIgnoringCase(text.substr(0, length), kHeaderStart.substr(0, length));
}

// The header block at the start of `pending`: the length of its lines and the
// first byte after its blank line; none while it has not all arrived.
struct HeaderBlock {
  size_t length;
  size_t end;
};
std::optional<HeaderBlock> FindHeaderBlock(std::string_view pending) {
  const size_t bare = pending.find("\n\n");
  const size_t newline = std::min(bare, pending.find("\n\r\n"));
  if (newline == std::string_view::npos) {
    return std::nullopt;
  }
  return HeaderBlock{newline + 1, newline + (newline == bare ? 2 : 3)};
}

// A decimal number of at most 18 digits, nothing else; none for another text.
std::optional<size_t> ParseLength(std::string_view text) {
  const char* end = text.data() + text.size();
  size_t length = 0;
  const auto [stop, error] = std::from_chars(text.data(), end, length);
  return error == std::errc() && stop == end && text.size() <= 18 ? std::optional(length)
                                                                  : std::nullopt;
}

Frame Problem(std::string text) {
  return {false, std::move(text)};
}

}  // namespace

void MessageReader::Feed(std::string_view bytes) {
  // Bytes already taken go once they make up half of what is held.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(bytes);
}

void MessageReader::Consume(size_t count) {
  start_ += count;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
}

std::optional<Frame> MessageReader::Next() {
  if (state_ == State::kSkip) {
    const size_t count = std::min(remaining_, Pending().size());
    Consume(count);
    remaining_ -= count;
    if (remaining_ > 0) {
      return std::nullopt;
    }
    state_ = State::kHeader;
  }
  if (state_ == State::kHeader) {
    return NextHeader();
  }
  if (Pending().size() < remaining_) {
    return std::nullopt;
  }
  Frame frame{true, std::string(Pending().substr(0, remaining_))};
  Consume(remaining_);
  state_ = State::kHeader;
  return frame;
}

// Bytes where a header should begin but none does: dropped up to the next
// "Content-" (or a tail that may become one).
void MessageReader::SkipGarbage() {
  const std::string_view pending = Pending();
  size_t next = 0;
  while (next < pending.size() && !StartsLikeHeader(pending.substr(next))) {
    ++next;
  }
  skipped_ += next;
  const std::string_view dropped = pending.substr(0, next);
  skippedText_ = skippedText_ || dropped.find_first_not_of(" \t\r\n") != std::string_view::npos;
  Consume(next);
}

// Once the next header begins: what was dropped before it, reported once
// (blank lines alone are dropped without a word).
std::optional<Frame> MessageReader::ReportSkipped() {
  const size_t skipped = std::exchange(skipped_, 0);
  if (!std::exchange(skippedText_, false)) {
    return std::nullopt;
  }
  return Problem("bytes that are not a message header were skipped (" + std::to_string(skipped) +
                 " bytes)");
}

std::optional<Frame> MessageReader::NextHeader() {
  std::string_view pending = Pending();
  if (!StartsLikeHeader(pending)) {
    SkipGarbage();
    pending = Pending();
  }
  if (pending.size() < kHeaderStart.size()) {
    return std::nullopt;
  }
  if (std::optional<Frame> skipped = ReportSkipped()) {
    return skipped;
  }
  const std::optional<HeaderBlock> header = FindHeaderBlock(pending);
  if (!header) {
    if (pending.size() <= kMaxHeaderBytes) {
      return std::nullopt;
    }
    Consume(pending.size());
    return Problem("a message header of more than " + std::to_string(kMaxHeaderBytes) +
                   " bytes was skipped");
  }
  const std::string block(pending.substr(0, header->length));
  Consume(header->end);
  std::optional<Frame> problem = ParseHeader(block);
  return problem ? problem : Next();
}

// Reads the header block; answers the problem it holds, if any.
std::optional<Frame> MessageReader::ParseHeader(std::string_view block) {
  std::optional<size_t> length;
  while (!block.empty()) {
    const size_t newline = block.find('\n');
    std::string_view line = block.substr(0, newline);
    block = newline == std::string_view::npos ? std::string_view() : block.substr(newline + 1);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      return Problem("a message header line without ':'");
    }
    const std::string_view name = OvStringUtil::TrimBlanks(line.substr(0, colon));
    const std::string_view value = OvStringUtil::TrimBlanks(line.substr(colon + 1));
    if (!EqualsIgnoringCase(name, "content-length")) {
      continue;  // Content-Type and any other header are not needed
    }
    const std::optional<size_t> parsed = ParseLength(value);
    if (length || !parsed) {
      return Problem("a message header with a wrong Content-Length: \"" + std::string(value) +
                     "\"");
    }
    length = parsed;
  }
  if (!length) {
    return Problem("a message header without Content-Length");
  }
  remaining_ = *length;
  state_ = remaining_ > maxBody_ ? State::kSkip : State::kBody;
  if (state_ == State::kBody) {
    return std::nullopt;
  }
  return Problem("a message of " + std::to_string(remaining_) + " bytes is larger than the " +
                 std::to_string(maxBody_) + " bytes taken; it was skipped");
}

std::string FrameMessage(std::string_view body) {
  return ("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n").append(body);
}

}  // namespace partsc::lsp
