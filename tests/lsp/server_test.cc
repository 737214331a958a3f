// The server with its compiles in the background: a change that arrives
// while a compile runs supersedes it, and requests are answered meanwhile.
#include "lsp/server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

namespace partsc::lsp {
namespace {

using nlohmann::json;

class Collector : public Outbox {
 public:
  void Send(const json& message) override {
    const std::lock_guard<std::mutex> lock(mutex_);
    sent_.push_back(message);
    changed_.notify_all();
  }
  // Waits until a message with `key` equal to `value` came; false after 20 s.
  bool WaitFor(const std::string& key, const json& value) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
      for (const json& message : sent_) {
        if (message.contains(key) && message[key] == value) {
          return true;
        }
      }
      return false;
    });
  }
  std::vector<json> Sent() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<json> sent_;
};

std::string Message(json message) {
  message["jsonrpc"] = "2.0";
  return message.dump();
}

std::string Change(int version, const std::string& text) {
  return Message({{"method", "textDocument/didChange"},
                  {"params",
                   {{"textDocument", {{"uri", "file:///a.src"}, {"version", version}}},
                    {"contentChanges", {{{"text", text}}}}}}});
}

TEST(Server, AChangeWhileACompileRunsSupersedesIt) {
  std::promise<void> started;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> compiles = 0;
  std::vector<std::string> compiled;
  ServerOptions options;
  options.lookForSettings = false;
  options.compile = [&](const std::string& text, const std::string& path,
                        const CompileOptions& compileOptions) {
    compiled.push_back(text);
    if (compiles++ == 0) {
      started.set_value();
      released.wait();
    }
    return CompileText(text, path, compileOptions);
  };
  Collector out;
  Server server(out, options);
  server.Handle(Message({{"id", 1}, {"method", "initialize"}, {"params", json::object()}}));
  server.Handle(
      Message({{"method", "textDocument/didOpen"},
               {"params",
                {{"textDocument",
                  {{"uri", "file:///a.src"},
                   {"languageId", "parts"},
                   {"version", 1},
                   {"text", "$$PARTS !a!\n$$APG\n$TOP !T!\n$$TITEL \"x\"\n$$END\n"}}}}}}));
  started.get_future().wait();

  // The compile of version 1 runs: a hover is answered, two changes come.
  server.Handle(Message({{"id", 2},
                         {"method", "textDocument/hover"},
                         {"params",
                          {{"textDocument", {{"uri", "file:///a.src"}}},
                           {"position", {{"line", 0}, {"character", 1}}}}}}));
  EXPECT_TRUE(out.WaitFor("id", 2));
  server.Handle(Change(2, "$$PARTS !a!\n$$APG\n$TOP !T!\n$$TITLE \"y\"\n$$END\n"));
  server.Handle(Change(3, "$$PARTS !a!\n$$APG\n$TOP !T!\n$$TITLE \"x\"\n$$END\n"));
  release.set_value();

  ASSERT_TRUE(out.WaitFor("method", "textDocument/publishDiagnostics"));
  server.Stop();
  std::vector<json> published;
  for (const json& message : out.Sent()) {
    if (message.value("method", "") == "textDocument/publishDiagnostics") {
      published.push_back(message["params"]);
    }
  }
  ASSERT_EQ(published.size(), 1u) << "version 1 is never published";
  EXPECT_EQ(published[0]["version"], 3);
  EXPECT_EQ(published[0]["diagnostics"], json::array());
  ASSERT_EQ(compiles, 2) << "version 2 waited and was replaced: never compiled";
  EXPECT_NE(compiled[1].find("\"x\""), std::string::npos);
}

}  // namespace
}  // namespace partsc::lsp
