#include "lsp/run_server.h"

#include <chrono>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "lsp/framing.h"
#include "platform/ov_pipe.h"
#include "platform/ov_signals.h"

namespace partsc::lsp {
namespace {

// How often the settings files are looked at while messages come or not.
constexpr std::chrono::milliseconds kSettingsInterval(1000);
// A run ended by a signal ends with 128 + the signal, as a shell tells it.
constexpr int kSignalStatusBase = 128;

// Frames each message and writes it; after a failed write (the client went
// away) nothing more is written.
class PipeOutbox : public Outbox {
 public:
  explicit PipeOutbox(OvPipe& pipe) : pipe_(pipe) {}

  void Send(const nlohmann::json& message) override {
    const std::string framed = FrameMessage(MessageText(message));
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!broken_ && !pipe_.Write(framed)) {
      broken_ = true;
    }
  }
  bool Broken() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return broken_;
  }

 private:
  OvPipe& pipe_;
  std::mutex mutex_;
  bool broken_ = false;
};

}  // namespace

void Deliver(MessageReader& reader, Server& server) {
  std::optional<Frame> frame;
  while (!server.Exited() && (frame = reader.Next())) {
    if (frame->isMessage) {
      server.Handle(frame->text);
    } else {
      server.HandleFramingError(frame->text);
    }
  }
}

int RunLanguageServer(OvPipe& pipe, ServerOptions options) {
  PipeOutbox outbox(pipe);
  Server server(outbox, std::move(options));
  MessageReader reader;
  auto lastCheck = std::chrono::steady_clock::now();
  std::string bytes;
  while (!server.Exited() && !outbox.Broken()) {
    bytes.clear();
    const OvReadResult read = pipe.Read(bytes, kSettingsInterval.count());
    if (OvSignals::Caught() != 0) {
      server.Stop();
      return kSignalStatusBase + OvSignals::Caught();
    }
    if (read == OvReadResult::kEnd || read == OvReadResult::kError) {
      break;
    }
    reader.Feed(bytes);
    Deliver(reader, server);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastCheck >= kSettingsInterval) {
      lastCheck = now;
      server.CheckSettings();
    }
  }
  server.Stop();
  return server.ExitCode() == 0 && server.Exited() ? 0 : 1;
}

}  // namespace partsc::lsp
