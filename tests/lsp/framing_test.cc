// The message reader cuts the same messages and problems out of a stream
// whatever pieces the stream arrives in.
#include "lsp/framing.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace partsc::lsp {
namespace {

// "M:body" for a message, "E:problem" for a problem.
std::vector<std::string> Cut(const std::string& stream, size_t chunk, size_t maxBody) {
  MessageReader reader(maxBody);
  std::vector<std::string> found;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    reader.Feed(std::string_view(stream).substr(at, chunk));
    while (const std::optional<Frame> frame = reader.Next()) {
      found.push_back((frame->isMessage ? "M:" : "E:") + frame->text);
    }
  }
  return found;
}

TEST(MessageReader, CutsTheSameFramesFromAnyPiecesOfTheStream) {
  const std::string stream =
      FrameMessage("{\"a\":1}") + "garbage" + FrameMessage("[]") +
      "Content-Length: 3\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\nabc" +
      "\r\n" + "CONTENT-LENGTH:0\n\n" + "Content-Length: 99\r\n\r\n" + std::string(99, 'x') +
      "Content-Length: -1\r\n\r\n" + "Content-Length: 1000000000000000000\r\n\r\n" +
      "Content-Length: 1\r\nnonsense\r\n\r\n" + FrameMessage("{}");
  const std::vector<std::string> expected = {
      "M:{\"a\":1}",
      "E:bytes that are not a message header were skipped (7 bytes)",
      "M:[]",
      "M:abc",
      "M:",
      "E:a message of 99 bytes is larger than the 50 bytes taken; it was skipped",
      "E:a message header with a wrong Content-Length: \"-1\"",
      "E:a message header with a wrong Content-Length: \"1000000000000000000\"",
      "E:a message header line without ':'",
      "M:{}",
  };
  for (const size_t chunk : {size_t{1}, size_t{2}, size_t{7}, size_t{64}, stream.size()}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(Cut(stream, chunk, 50), expected);
  }
}

TEST(MessageReader, WaitsForTheRestOfAMessage) {
  MessageReader reader;
  reader.Feed("\r\n");
  EXPECT_FALSE(reader.Next()) << "blank lines are no message";
  reader.Feed("Content-Length: 10\r\n\r\n{\"a\":");
  EXPECT_FALSE(reader.Next());
  reader.Feed("12345");
  const std::optional<Frame> frame = reader.Next();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->text, "{\"a\":12345");
}

TEST(MessageReader, GivesUpAHeaderThatNeverEnds) {
  MessageReader reader;
  reader.Feed("Content-Length: 1\r\n" + std::string(kMaxHeaderBytes, 'x'));
  std::optional<Frame> frame = reader.Next();
  ASSERT_TRUE(frame);
  EXPECT_FALSE(frame->isMessage);
  reader.Feed(FrameMessage("{}"));
  frame = reader.Next();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->text, "{}");
}

}  // namespace
}  // namespace partsc::lsp
