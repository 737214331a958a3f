// The check of a whole library in the editor: 50 sources on disk, two of
// them open, the workspace the library's folder. What a run of the control
// file would find shows on the control file and on each source, open or not,
// and follows the editor's changes.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "driver/run_options.h"
#include "gen_library.h"
#include "lsp/framing.h"
#include "lsp/run_server.h"
#include "platform/ov_string_util.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

using nlohmann::json;

class Recorder : public lsp::Outbox {
 public:
  void Send(const json& message) override { sent.push_back(message); }
  std::vector<json> sent;
};

class Client {
 public:
  explicit Client(const std::string& dir) {
    options_.directory = dir;
    options_.compileInBackground = false;
    options_.checkLibrary = CheckLibraryRun;
    options_.readSettings = RunOptions::ReadCompileSettings;
    server_ = std::make_unique<lsp::Server>(recorder_, options_);
  }
  void Send(json message) {
    message["jsonrpc"] = "2.0";
    reader_.Feed(lsp::FrameMessage(message.dump()));
    lsp::Deliver(reader_, *server_);
  }
  // The diagnostics last published for each uri that has any, "LINE CODE"
  // each, by file name.
  std::map<std::string, std::vector<std::string>> Shown() const {
    std::map<std::string, std::vector<std::string>> shown;
    for (const json& message : recorder_.sent) {
      if (message.value("method", "") != "textDocument/publishDiagnostics") {
        continue;
      }
      const std::string uri = message["params"]["uri"];
      std::vector<std::string>& list = shown[uri.substr(uri.rfind('/') + 1)];
      list.clear();
      for (const json& d : message["params"]["diagnostics"]) {
        list.push_back(std::to_string(d["range"]["start"]["line"].get<int>() + 1) + " " +
                       d["code"].get<std::string>());
      }
    }
    std::erase_if(shown, [](const auto& entry) { return entry.second.empty(); });
    return shown;
  }

 private:
  Recorder recorder_;
  lsp::ServerOptions options_;
  std::unique_ptr<lsp::Server> server_;
  lsp::MessageReader reader_;
};

json Open(const std::string& path, const std::string& text) {
  return {{"method", "textDocument/didOpen"},
          {"params",
           {{"textDocument",
             {{"uri", FileUri(path)}, {"languageId", "parts"}, {"version", 1}, {"text", text}}}}}};
}

json Change(const std::string& path, int version, const std::string& text) {
  return {{"method", "textDocument/didChange"},
          {"params",
           {{"textDocument", {{"uri", FileUri(path)}, {"version", version}}},
            {"contentChanges", json::array({{{"text", text}}})}}}};
}

TEST(Library, FiftySourcesOnDiskAndTwoOpen) {
  TempDir dir;
  bench::LibraryShape shape;
  shape.sources = 50;
  const bench::Library library = bench::GenerateLibrary(dir.path(), shape);
  const std::vector<std::string>& paths = library.sourcePaths;
  // The library turns off a warning every generated source would get.
  const std::string settings = library.dir + "/" + library.settingsName;
  WriteFile(settings, ReadFile(settings) + "#PARTS:WARNINGS# = no-common-name-dropped\n");
  // On disk: source 10 has no view, source 20 is gone.
  WriteFile(paths[10], "$$PARTS !" + library.partsNames[10] + "!\n$$END\n");
  std::remove(paths[20].c_str());

  Client client(dir.path());
  client.Send(
      {{"id", 1}, {"method", "initialize"}, {"params", {{"rootUri", FileUri(library.dir)}}}});
  client.Send({{"method", "initialized"}, {"params", json::object()}});
  const std::string text0 = bench::SourceText(shape, 0);
  std::string text1 = bench::SourceText(shape, 1);
  client.Send(Open(paths[0], text0));
  client.Send(Open(paths[1], text1));
  const std::string control = library.controlName;
  const auto name = [&](int i) { return paths[i].substr(paths[i].rfind('/') + 1); };
  using Shown = std::map<std::string, std::vector<std::string>>;
  // The control file names source N on line N + 1, after its comment line.
  EXPECT_EQ(client.Shown(), (Shown{{control, {"22 partsc-input-open-error"}},
                                   {name(10), {"1 partsc-illegal-file-delete"}}}));

  // The second open source takes the first one's parts name in the editor.
  const std::string own = "!" + library.partsNames[1] + "!";
  text1.replace(text1.find(own), own.size(), "!" + library.partsNames[0] + "!");
  client.Send(Change(paths[1], 2, text1));
  EXPECT_EQ(client.Shown(),
            (Shown{{control, {"3 partsc-parts-file-twice", "22 partsc-input-open-error"}},
                   {name(1), {"1 partsc-parts-file-twice"}},
                   {name(10), {"1 partsc-illegal-file-delete"}}}));

  // Both mended: the missing source is written and the name given back.
  WriteFile(paths[20], bench::SourceText(shape, 20));
  WriteFile(paths[10], bench::SourceText(shape, 10));
  client.Send(Change(paths[1], 3, bench::SourceText(shape, 1)));
  EXPECT_EQ(client.Shown(), Shown{});
}

}  // namespace
}  // namespace partsc::testing
