// partsc --lsp as an editor starts it: big documents, a line of 100,000
// characters, input that ends in the middle of a message, a client that
// closes its end of either pipe. The server answers or ends cleanly.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lsp/framing.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

using nlohmann::json;

std::string Framed(json message) {
  message["jsonrpc"] = "2.0";
  return lsp::FrameMessage(message.dump());
}

std::string Open(const std::string& uri, const std::string& text) {
  return Framed({{"method", "textDocument/didOpen"},
                 {"params",
                  {{"textDocument",
                    {{"uri", uri}, {"languageId", "parts"}, {"version", 1}, {"text", text}}}}}});
}

std::string Request(int id, const std::string& method, const std::string& uri,
                    json position = nullptr) {
  json params{{"textDocument", {{"uri", uri}}}};
  if (!position.is_null()) {
    params["position"] = position;
  }
  return Framed({{"id", id}, {"method", method}, {"params", params}});
}

// The messages of the server's output.
std::vector<json> Messages(const std::string& out) {
  std::vector<json> messages;
  lsp::MessageReader reader;
  reader.Feed(out);
  while (const std::optional<lsp::Frame> frame = reader.Next()) {
    messages.push_back(json::parse(frame->text));
  }
  return messages;
}

const json* Answer(const std::vector<json>& messages, int id) {
  for (const json& message : messages) {
    if (message.contains("id") && message["id"] == id) {
      return &message;
    }
  }
  return nullptr;
}

ProcessResult Serve(const std::string& input) {
  TempDir dir;
  return RunProcess(PARTSC_BINARY, {{"--lsp"}, dir.path(), input, {}, {}});
}

TEST(LanguageServer, TakesATenMegabyteDocumentAndALineOfAHundredThousandCharacters) {
  std::string big = "$$PARTS !big!\n$$APG\n$TOP !T!\n$$SIZE \"S\"\np !D! (1)\n";
  while (big.size() < 10'000'000) {
    big += "/ " + std::string(76, 'x') + "\n";
  }
  big += "$$END\n";
  const std::string wide =
      "$$PARTS !w!\n$$APG\n$TOP !T!\n$$SIZE \"S\"\n" + std::string(100'000, 'p') + "\n$$END\n";
  const std::string input =
      Framed(
          {{"id", 1}, {"method", "initialize"}, {"params", {{"capabilities", json::object()}}}}) +
      Open("file:///big.src", big) + Open("file:///wide.src", wide) +
      Framed({{"method", "textDocument/didChange"},
              {"params",
               {{"textDocument", {{"uri", "file:///big.src"}, {"version", 2}}},
                {"contentChanges",
                 {{{"range",
                    {{"start", {{"line", 1}, {"character", 0}}},
                     {"end", {{"line", 1}, {"character", 5}}}}},
                   {"text", "$$APG"}}}}}}}) +
      Request(2, "textDocument/documentSymbol", "file:///big.src") +
      Request(3, "textDocument/foldingRange", "file:///big.src") +
      Request(4, "textDocument/hover", "file:///big.src", {{"line", 130000}, {"character", 3}}) +
      Request(5, "textDocument/semanticTokens/full", "file:///wide.src") +
      Request(6, "textDocument/completion", "file:///wide.src",
              {{"line", 4}, {"character", 99999}}) +
      Framed({{"id", 7}, {"method", "shutdown"}}) + Framed({{"method", "exit"}});
  const ProcessResult result = Serve(input);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::vector<json> messages = Messages(result.out);
  for (int id = 1; id <= 7; ++id) {
    const json* answer = Answer(messages, id);
    ASSERT_NE(answer, nullptr) << "no answer to " << id;
    EXPECT_TRUE(answer->contains("result")) << answer->dump().substr(0, 200);
  }
  // The wide line is read as 1,266 pieces, each a parameter member whose "p"
  // is highlighted as a keyword, besides the five keywords of the source.
  const json& tokens = (*Answer(messages, 5))["result"]["data"];
  size_t keywords = 0;
  for (size_t i = 3; i < tokens.size(); i += 5) {
    keywords += tokens[i] == 0 ? 1 : 0;
  }
  EXPECT_EQ(keywords, 4u + (100'000 + 78) / 79 + 1);
}

TEST(LanguageServer, EndsCleanlyWhenTheInputEnds) {
  const ProcessResult empty = Serve("");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_EQ(empty.out, "");
  const ProcessResult cut =
      Serve(Framed({{"id", 1}, {"method", "initialize"}, {"params", json::object()}}) +
            "Content-Length: 100\r\n\r\n{\"jsonrpc\"");
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_EQ(Messages(cut.out).size(), 1u);
}

// partsc --lsp in a child process on two pipes: `toServer` is its standard
// input, `fromServer` its output.
struct Child {
  pid_t pid = -1;
  int toServer = -1;
  int fromServer = -1;
};
Child StartServer() {
  int in[2];
  int out[2];
  Child child;
  if (pipe(in) != 0 || pipe(out) != 0) {
    return child;
  }
  child.pid = fork();
  if (child.pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[1]);
    close(out[0]);
    execl(PARTSC_BINARY, PARTSC_BINARY, "--lsp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  child.toServer = in[1];
  child.fromServer = out[0];
  return child;
}

TEST(LanguageServer, EndsWith128AndTheSignalOnSigterm) {
  const Child child = StartServer();
  ASSERT_GT(child.pid, 0);
  const std::string initialize =
      Framed({{"id", 1}, {"method", "initialize"}, {"params", json::object()}});
  ASSERT_EQ(write(child.toServer, initialize.data(), initialize.size()),
            static_cast<ssize_t>(initialize.size()));
  char answer[64];
  ASSERT_GT(read(child.fromServer, answer, sizeof answer), 0) << "the server answers first";
  kill(child.pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  close(child.toServer);
  close(child.fromServer);
}

// An editor may keep the server's input open after "exit": the server ends
// all the same, at once.
TEST(LanguageServer, EndsAfterExitWhileItsInputStaysOpen) {
  const Child child = StartServer();
  ASSERT_GT(child.pid, 0);
  const std::string input =
      Framed({{"id", 1}, {"method", "initialize"}, {"params", json::object()}}) +
      Framed({{"id", 2}, {"method", "shutdown"}}) + Framed({{"method", "exit"}});
  ASSERT_EQ(write(child.toServer, input.data(), input.size()),
            static_cast<ssize_t>(input.size()));
  int status = 0;
  pid_t ended = 0;
  for (int tenths = 0; tenths < 200 && ended == 0; ++tenths) {
    ended = waitpid(child.pid, &status, WNOHANG);
    usleep(ended == 0 ? 100'000 : 0);
  }
  if (ended == 0) {
    kill(child.pid, SIGKILL);
    waitpid(child.pid, &status, 0);
  }
  EXPECT_EQ(ended, child.pid) << "still running 20 s after exit";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  close(child.toServer);
  close(child.fromServer);
}

TEST(LanguageServer, EndsCleanlyWhenTheClientClosesItsOutput) {
  const Child child = StartServer();
  ASSERT_GT(child.pid, 0);
  close(child.fromServer);  // nobody reads what the server writes
  std::string input = Framed({{"id", 1}, {"method", "initialize"}, {"params", json::object()}});
  for (int id = 2; id < 50; ++id) {
    input += Framed({{"id", id}, {"method", "bogus"}});
  }
  // The server may be gone before all is written: the write then fails.
  signal(SIGPIPE, SIG_IGN);
  const ssize_t written = write(child.toServer, input.data(), input.size());
  (void)written;
  close(child.toServer);
  int status = 0;
  ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// What the server writes until it has published diagnostics `count` times,
// for at most 10 seconds.
std::vector<json> ReadPublished(int fd, size_t count) {
  std::string out;
  std::vector<json> published;
  for (int tenths = 0; tenths < 100 && published.size() < count; ++tenths) {
    pollfd ready{fd, POLLIN, 0};
    char buffer[4096];
    const ssize_t got = poll(&ready, 1, 100) > 0 ? read(fd, buffer, sizeof buffer) : 0;
    out.append(buffer, static_cast<size_t>(std::max<ssize_t>(got, 0)));
    published.clear();
    for (const json& message : Messages(out)) {
      if (message.value("method", "") == "textDocument/publishDiagnostics") {
        published.push_back(message["params"]);
      }
    }
  }
  return published;
}

// A document's settings file is looked for up to the workspace folder, never
// in a directory of another user, and only a regular file of the user's own
// is read: a FIFO gives one diagnostic and blocks nothing, and a link of the
// user's own stands for its target.
TEST(LanguageServer, ReadsOnlyASettingsFileOfItsOwnInTheWorkspace) {
  TempDir dir;
  const bool root = geteuid() == 0;
  std::filesystem::create_directories(dir.File("ws/src"));
  std::filesystem::create_directories(dir.File("ws/theirs"));
  WriteFile(dir.File("ORVA.SET"), "#PARTS:COLOUR# = above the workspace\n");
  ASSERT_EQ(mkfifo(dir.File("ws/src/ORVA.SET").c_str(), 0600), 0);
  WriteFile(dir.File("ws/theirs/ORVA.SET"), "#PARTS:COLOUR# = theirs\n");
  WriteFile(dir.File("kept.SET"), "#PARTS:WARNINGS# = all\n");
  ASSERT_EQ(symlink(dir.File("kept.SET").c_str(), dir.File("ws/ORVA.SET").c_str()), 0);
  if (root) {
    ASSERT_EQ(chown(dir.File("ws/theirs/ORVA.SET").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(dir.File("ws/theirs").c_str(), 65534, 65534), 0);
  }
  const std::string workspace = "file://" + dir.File("ws");
  const std::vector<std::string> documents = {"/src/a.src", "/b.src", "/theirs/c.src"};
  const json params{{"rootUri", workspace}, {"capabilities", json::object()}};
  std::string input = Framed({{"id", 1}, {"method", "initialize"}, {"params", params}});
  for (const std::string& document : documents) {
    input += Open(workspace + document, "$$PARTS !x!\n$$APG\n$TOP !T!\n$$END\n");
  }
  const Child child = StartServer();
  ASSERT_GT(child.pid, 0);
  ASSERT_EQ(write(child.toServer, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  const std::vector<json> published = ReadPublished(child.fromServer, documents.size());
  const std::string end =
      Framed({{"id", 2}, {"method", "shutdown"}}) + Framed({{"method", "exit"}});
  ASSERT_EQ(write(child.toServer, end.data(), end.size()), static_cast<ssize_t>(end.size()));
  int status = 0;
  ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  close(child.toServer);
  close(child.fromServer);
  ASSERT_EQ(published.size(), documents.size());
  for (const json& params : published) {
    const std::string uri = params["uri"];
    const json& diagnostics = params["diagnostics"];
    if (uri.ends_with("a.src")) {
      ASSERT_EQ(diagnostics.size(), 1u) << params.dump();
      EXPECT_EQ(diagnostics[0]["message"],
                "settings file " + dir.File("ws/src/ORVA.SET") + ": not a regular file: not used");
    } else if (root || uri.ends_with("b.src")) {
      EXPECT_EQ(diagnostics, json::array()) << params.dump();
    }
  }
}

}  // namespace
}  // namespace partsc::testing
