// The editor sees what the run sees: every source of the golden runs and
// every line of the line cases (each in a source around it), named by a
// control file and checked by partsc --check and by the language server,
// gives the same diagnostics, each with its line, name and message (an
// empty source is left out: the editor shows nothing on an empty buffer).
// The Latin-1 sources of latin1/ are tried too. A source with a character beyond
// ASCII is also tried in Latin-1, as a file on disk and as the UTF-8 text an
// editor holds of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "diagnostics/diagnostics_record.h"
#include "driver/run_driver.h"
#include "driver/run_options.h"
#include "lsp/framing.h"
#include "lsp/run_server.h"
#include "platform/ov_string_util.h"
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

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// The "--- file NAME.src" sections of the golden runs.
std::vector<std::string> GoldenSources() {
  std::vector<std::string> sources;
  for (const auto& entry :
       fs::directory_iterator(fs::path(PARTSC_SOURCE_DIR) / "tests/e2e/golden")) {
    std::string* body = nullptr;
    for (const std::string& line : Lines(entry.path().string())) {
      if (line.starts_with("--- ") || line.starts_with("=== ")) {
        const bool source =
            line.starts_with("--- file ") && (line.ends_with(".src") || line.ends_with(".SRC"));
        body = source ? &sources.emplace_back() : nullptr;
      } else if (body != nullptr && line == "\\ no newline at end") {
        body->pop_back();
      } else if (body != nullptr) {
        *body += line + "\n";
      }
    }
  }
  return sources;
}

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
      out += c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
  }
  return out;
}

// Each line of the line cases in a source of the block its parser reads.
std::vector<std::string> LineCaseSources() {
  const std::string head = "$$PARTS !a!\n$$APG\n$TOP !T!\n";
  std::vector<std::string> sources;
  for (const std::string& line :
       Lines((fs::path(PARTSC_SOURCE_DIR) / "tests/compiler/line_cases.txt").string())) {
    const size_t colon = line.find(": ");
    if (line.empty() || line[0] == '#' || line[0] == '=' || colon == std::string::npos) {
      continue;
    }
    const std::string kind = line.substr(0, line.find_first_of("*:"));
    const size_t star = line.find('*');
    const int count = star < colon ? std::stoi(line.substr(star + 1, colon - star - 1)) : 1;
    std::string lines;
    for (int i = 0; i < count; ++i) {
      lines += Unescape(line.substr(colon + 2)) + "\n";
    }
    if (kind == "parts") {
      sources.push_back(lines + "$$APG\n$TOP !T!\n$$END\n");
    } else if (kind == "view") {
      sources.push_back("$$PARTS !a!\n$$APG\n" + lines + "$$END\n");
    } else if (kind == "size" || kind == "macro") {
      sources.push_back(head + lines + "$$END\n");
    } else {
      sources.push_back(head + "$$SIZE \"S\"\n" + lines + "$$END\n");
    }
  }
  return sources;
}

// "LINE NAME: MESSAGE" of each diagnostic of the source, sorted.
using Found = std::vector<std::string>;

Found ByCheck(const std::string& dir) {
  const ProcessResult run = RunPartsc(
      dir, {"--check", "--keep-going", "-Wall", "--diagnostics-format=json", "-c", "RUN.CTL"});
  Found found;
  std::istringstream err(run.err);
  for (std::string line; std::getline(err, line);) {
    const json record = json::parse(line, nullptr, false);
    if (!record.is_object() || record.value("file", json()) != "x.src") {
      continue;
    }
    const std::string message = MessageWithReason(
        record["message"].get<std::string>(),
        record["reason"].is_string() ? record["reason"].get<std::string>() : std::string(),
        record.value("after_stop", false));
    const int number = record["line"].is_number() ? record["line"].get<int>() : 1;
    found.push_back(std::to_string(number) + " " + record["name"].get<std::string>() + ": " +
                    message);
  }
  std::sort(found.begin(), found.end());
  return found;
}

Found ByServer(const std::string& dir, const std::string& text) {
  Recorder recorder;
  lsp::ServerOptions options;
  options.directory = dir;
  options.compileInBackground = false;
  options.checkLibrary = CheckLibraryRun;
  options.readSettings = RunOptions::ReadCompileSettings;
  lsp::Server server(recorder, options);
  lsp::MessageReader reader;
  const std::string uri = FileUri(dir + "/x.src");
  for (const json& message :
       {json{{"jsonrpc", "2.0"},
             {"id", 1},
             {"method", "initialize"},
             {"params", {{"rootUri", FileUri(dir)}}}},
        json{{"jsonrpc", "2.0"},
             {"method", "textDocument/didOpen"},
             {"params",
              {{"textDocument",
                {{"uri", uri}, {"languageId", "parts"}, {"version", 1}, {"text", text}}}}}}}) {
    reader.Feed(lsp::FrameMessage(message.dump()));
    lsp::Deliver(reader, server);
  }
  Found found;
  for (const json& message : recorder.sent) {
    if (message.value("method", "") != "textDocument/publishDiagnostics" ||
        message["params"]["uri"] != uri) {
      continue;
    }
    found.clear();  // the last publication counts
    for (const json& d : message["params"]["diagnostics"]) {
      found.push_back(std::to_string(d["range"]["start"]["line"].get<int>() + 1) + " " +
                      d["code"].get<std::string>() + ": " + d["message"].get<std::string>());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The text as it reads in the file's encoding, and the editor's UTF-8 text
// of it.
std::string EditorText(const std::string& bytes) {
  return IsUtf8(bytes) ? bytes : Latin1ToUtf8(bytes);
}

TEST(Agreement, TheServerAndCheckGiveTheSameDiagnosticsOfEverySource) {
  std::vector<std::string> sources = GoldenSources();
  const std::vector<std::string> cases = LineCaseSources();
  sources.insert(sources.end(), cases.begin(), cases.end());
  for (const auto& entry :
       fs::directory_iterator(fs::path(PARTSC_SOURCE_DIR) / "tests/lsp/latin1")) {
    sources.push_back(ReadFile(entry.path().string()));
  }
  ASSERT_GT(sources.size(), 150u);
  int latin1 = 0;
  for (const std::string& source : sources) {
    if (source.find_first_not_of(" \t\r\n") == std::string::npos) {
      continue;
    }
    std::vector<std::string> forms = {source};
    const std::optional<std::string> bytes = Utf8ToLatin1(source);
    if (IsUtf8(source) && source != Latin1ToUtf8(source) && bytes) {
      forms.push_back(*bytes);
    }
    for (const std::string& form : forms) {
      latin1 += IsUtf8(form) ? 0 : 1;
      TempDir dir;
      WriteFile(dir.path() + "/x.src", form);
      WriteFile(dir.path() + "/RUN.CTL", "x.src\n");
      SCOPED_TRACE(EditorText(form));
      EXPECT_EQ(ByServer(dir.path(), EditorText(form)), ByCheck(dir.path()));
    }
  }
  EXPECT_GE(latin1, 2);
}

}  // namespace
}  // namespace partsc::testing
