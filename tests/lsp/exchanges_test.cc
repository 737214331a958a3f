// The server driven through recorded exchanges: each file of exchanges/
// holds what a client sends and what the server must answer, in order.
//
//   --> JSON           a message, framed as a client frames it
//   ~~> BYTES          bytes as they stand (\r, \n, \\ and \xNN escaped)
//   <-- JSON           the next message the server sends
//   !! write NAME TEXT a file in the exchange's directory (escapes as above)
//   !! check-settings  the server looks at its settings files
//   !! files NAME...   the files the exchange's directory holds, in order
//   !! settings NAME   the server is started with -p NAME
//   !! exit N          the exit status the exchange ends with (-1: still running)
//
// ${DIR} stands for the exchange's directory. With PARTSC_RECORD=1 the
// files are written again with what the server sent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "driver/run_options.h"
#include "lsp/run_server.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class Recorder : public lsp::Outbox {
 public:
  void Send(const json& message) override { sent.push_back(message); }
  std::vector<json> sent;
};

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
  }
  return out;
}

struct Exchange {
  std::vector<std::string> lines;
  std::vector<json> expected;
  std::vector<json> sent;
  std::vector<size_t> sentBy;  // per line: how many messages had been sent after it
  int exitCode = 1;
};

Exchange RunExchange(const std::string& file, const std::string& dir) {
  Exchange exchange;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    exchange.lines.push_back(line);
  }
  lsp::ServerOptions options;
  options.directory = dir;
  options.compileInBackground = false;
  options.checkLibrary = CheckLibraryRun;
  options.readSettings = RunOptions::ReadCompileSettings;
  for (const std::string& line : exchange.lines) {
    if (line.rfind("!! settings ", 0) == 0) {
      options.settingsPath = line.substr(12);
    }
  }
  Recorder recorder;
  lsp::Server server(recorder, options);
  lsp::MessageReader reader;
  for (const std::string& raw : exchange.lines) {
    const std::string line = ReplaceAll(raw, "${DIR}", dir);
    const std::string rest = line.size() > 4 ? line.substr(4) : "";
    if (line.rfind("--> ", 0) == 0) {
      reader.Feed(lsp::FrameMessage(json::parse(rest).dump()));
    } else if (line.rfind("~~> ", 0) == 0) {
      reader.Feed(Unescape(rest));
    } else if (line.rfind("<-- ", 0) == 0) {
      exchange.expected.push_back(json::parse(rest));
    } else if (line.rfind("!! write ", 0) == 0) {
      const size_t blank = line.find(' ', 9);
      const fs::path path = fs::path(dir) / line.substr(9, blank - 9);
      fs::create_directories(path.parent_path());
      WriteFile(path.string(), Unescape(line.substr(blank + 1)));
    } else if (line == "!! check-settings") {
      server.CheckSettings();
    } else if (line.rfind("!! files", 0) == 0) {
      std::vector<std::string> names;
      for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
      }
      std::sort(names.begin(), names.end());
      std::string listed;
      for (const std::string& name : names) {
        listed += " " + name;
      }
      EXPECT_EQ("!! files" + listed, line) << "the files of the exchange's directory";
    } else if (line.rfind("!! exit ", 0) == 0) {
      exchange.exitCode = std::stoi(line.substr(8));
    }
    lsp::Deliver(reader, server);
    exchange.sentBy.push_back(recorder.sent.size());
  }
  exchange.sent = recorder.sent;
  EXPECT_EQ(server.Exited() ? server.ExitCode() : -1, exchange.exitCode) << "the exit status";
  return exchange;
}

// The file with its "<--" lines replaced by what the server sent, each
// message after the line that made the server send it.
void Record(const std::string& file, const Exchange& exchange, const std::string& dir) {
  std::ofstream out(file);
  size_t next = 0;
  for (size_t i = 0; i < exchange.lines.size(); ++i) {
    if (exchange.lines[i].rfind("<-- ", 0) != 0) {
      out << exchange.lines[i] << "\n";
    }
    for (; next < exchange.sentBy[i]; ++next) {
      out << "<-- " << ReplaceAll(lsp::MessageText(exchange.sent[next]), dir, "${DIR}") << "\n";
    }
  }
}

class Exchanges : public ::testing::TestWithParam<std::string> {};

TEST_P(Exchanges, ServerAnswersAsRecorded) {
  const std::string file =
      (fs::path(PARTSC_SOURCE_DIR) / "tests/lsp/exchanges" / GetParam()).string();
  TempDir dir;
  const Exchange exchange = RunExchange(file, dir.path());
  if (std::getenv("PARTSC_RECORD") != nullptr) {
    Record(file, exchange, dir.path());
    return;
  }
  const size_t count = std::max(exchange.sent.size(), exchange.expected.size());
  for (size_t i = 0; i < count; ++i) {
    const json sent = i < exchange.sent.size() ? exchange.sent[i] : json();
    json expected = i < exchange.expected.size() ? exchange.expected[i] : json();
    expected = json::parse(ReplaceAll(expected.dump(), "${DIR}", dir.path()));
    EXPECT_EQ(sent, expected) << "message " << i + 1 << "\n  sent:     " << sent.dump()
                              << "\n  expected: " << expected.dump();
  }
}

std::vector<std::string> ExchangeFiles() {
  std::vector<std::string> names;
  for (const auto& entry :
       fs::directory_iterator(fs::path(PARTSC_SOURCE_DIR) / "tests/lsp/exchanges")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

INSTANTIATE_TEST_SUITE_P(Lsp, Exchanges, ::testing::ValuesIn(ExchangeFiles()),
                         [](const auto& info) {
                           std::string name = info.param.substr(0, info.param.find('.'));
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace partsc::testing
