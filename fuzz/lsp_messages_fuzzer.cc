// Any bytes as what an editor sends partsc --lsp: cut into messages by the
// message reader and handed to the server, its compiles run at once. The
// first byte chooses where the bytes are split in two (the reader must cut
// the same frames from the pieces as from the whole) and whether the server
// was initialized before they came.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/framing.h"
#include "lsp/run_server.h"
#include "lsp/server.h"

namespace {

using nlohmann::json;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "lsp_messages_fuzzer: %s\n", what);
    std::abort();
  }
}

// Every message the server sends is JSON-RPC 2.0: a response with an id and
// either a result or an error of a known code, or a notification or request
// of the server with a method.
class CheckingOutbox : public partsc::lsp::Outbox {
 public:
  void Send(const json& message) override {
    const std::string text = partsc::lsp::MessageText(message);
    Require(!json::parse(text, nullptr, false).is_discarded(), "what is sent is JSON");
    Require(message.value("jsonrpc", "") == "2.0", "every message is JSON-RPC 2.0");
    if (message.contains("method")) {
      Require(message["method"].is_string(), "a method is a string");
      return;
    }
    Require(message.contains("id"), "a response has an id");
    Require(message.contains("result") != message.contains("error"),
            "a response has a result or an error");
    if (message.contains("error")) {
      static const std::set<int> kCodes = {-32700, -32600, -32601, -32602, -32603, -32002};
      Require(kCodes.count(message["error"].value("code", 0)) == 1, "an error code is known");
    }
  }
};

std::vector<partsc::lsp::Frame> Cut(std::string_view first, std::string_view second) {
  partsc::lsp::MessageReader reader;
  std::vector<partsc::lsp::Frame> frames;
  for (const std::string_view part : {first, second}) {
    reader.Feed(part);
    while (std::optional<partsc::lsp::Frame> frame = reader.Next()) {
      frames.push_back(std::move(*frame));
    }
  }
  return frames;
}

bool SameFrames(const std::vector<partsc::lsp::Frame>& a,
                const std::vector<partsc::lsp::Frame>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].isMessage != b[i].isMessage || (a[i].isMessage && a[i].text != b[i].text)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t control = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = bytes.empty() ? 0 : (control >> 1) % (bytes.size() + 1);
  const std::vector<partsc::lsp::Frame> frames = Cut(bytes, {});
  Require(SameFrames(frames, Cut(bytes.substr(0, split), bytes.substr(split))),
          "the reader cuts the same messages from any pieces");

  CheckingOutbox outbox;
  partsc::lsp::ServerOptions options;
  options.lookForSettings = false;
  options.compileInBackground = false;
  partsc::lsp::Server server(outbox, options);
  if ((control & 1) != 0) {
    server.Handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})");
  }
  for (const partsc::lsp::Frame& frame : frames) {
    if (server.Exited()) {
      break;
    }
    if (frame.isMessage) {
      server.Handle(frame.text);
    } else {
      server.HandleFramingError(frame.text);
    }
  }
  server.Stop();
  return 0;
}
