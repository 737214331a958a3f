// How soon partsc --lsp publishes the diagnostics of a 2,000-line source
// after a change, and those of the check of a library of 2,000 sources: the
// real server, started as an editor starts it, over pipes. Prints one line
// per figure; there is nothing to pass or fail.
//
//   partsc_lsp_bench [PARTSC] [CHANGES] [LIBRARY_SOURCES]
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "gen_library.h"
#include "lsp/analysis.h"
#include "lsp/features.h"
#include "lsp/framing.h"
#include "lsp/text_document.h"
#include "platform/ov_string_util.h"

namespace partsc::bench {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// partsc --lsp in a child process, talked to as an editor does.
class Client {
 public:
  explicit Client(const std::string& binary) {
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
      throw std::runtime_error("no pipe");
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      execl(binary.c_str(), binary.c_str(), "--lsp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~Client() {
    close(to_);
    close(from_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

  void Send(json message) {
    message["jsonrpc"] = "2.0";
    const std::string framed = lsp::FrameMessage(message.dump());
    if (write(to_, framed.data(), framed.size()) != static_cast<ssize_t>(framed.size())) {
      throw std::runtime_error("the server went away");
    }
  }

  // Reads until a message for which `wanted` is true; the others are passed.
  json WaitFor(const std::function<bool(const json&)>& wanted) {
    while (true) {
      while (const std::optional<lsp::Frame> frame = reader_.Next()) {
        json message = json::parse(frame->text);
        if (wanted(message)) {
          return message;
        }
      }
      pollfd ready{from_, POLLIN, 0};
      if (poll(&ready, 1, 10000) != 1) {
        throw std::runtime_error("no answer within 10 s");
      }
      char buffer[65536];
      const ssize_t count = read(from_, buffer, sizeof buffer);
      if (count <= 0) {
        throw std::runtime_error("the server ended");
      }
      reader_.Feed(std::string_view(buffer, static_cast<size_t>(count)));
    }
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1;
  int from_ = -1;
  lsp::MessageReader reader_;
};

constexpr const char* kUri = "file:///bench/bolts.src";

json Published(Client& client, int version) {
  return client.WaitFor([version](const json& message) {
    return message.value("method", "") == "textDocument/publishDiagnostics" &&
           message["params"].value("version", -1) == version;
  });
}

// One character of a member line typed over: a valid pair, or one the
// compile refuses (its diagnostics differ each time).
json Change(int version, int line, bool broken) {
  json range;
  range["start"] = {{"line", line}, {"character", 0}};
  range["end"] = {{"line", line}, {"character", 1}};
  json change;
  change["range"] = range;
  change["text"] = broken ? "x" : "p";
  json params;
  params["textDocument"] = {{"uri", kUri}, {"version", version}};
  params["contentChanges"] = json::array({change});
  return {{"method", "textDocument/didChange"}, {"params", params}};
}

struct Figures {
  double min = 0;
  double median = 0;
  double p95 = 0;
  double max = 0;
};

Figures Summary(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const auto at = [&](double q) { return times[static_cast<size_t>(q * (times.size() - 1))]; };
  return {times.front(), at(0.5), at(0.95), times.back()};
}

void Report(const char* what, const Figures& f) {
  std::printf("%-52s min %6.2f  median %6.2f  p95 %6.2f  max %6.2f ms\n", what, f.min, f.median,
              f.p95, f.max);
}

int Run(const std::string& binary, int changes) {
  LibraryShape shape;
  shape.sizesPerSource = 100;
  shape.membersPerSize = 18;
  shape.macrosPerSource = 80;
  const std::string text = SourceText(shape, 0);
  const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  std::printf("partsc --lsp: a source of %d lines, %zu bytes, %d changes\n", lines, text.size(),
              changes);
  // A member line in the middle of the source.
  int memberLine = lines / 2;
  {
    size_t at = 0;
    for (int i = 0; i < memberLine; ++i) {
      at = text.find('\n', at) + 1;
    }
    while (text[at] != 'p') {
      at = text.find('\n', at) + 1;
      ++memberLine;
    }
  }

  Client client(binary);
  client.Send(
      {{"id", 1}, {"method", "initialize"}, {"params", {{"capabilities", json::object()}}}});
  client.WaitFor([](const json& m) { return m.value("id", 0) == 1; });
  client.Send({{"method", "initialized"}, {"params", json::object()}});
  auto start = Clock::now();
  client.Send({{"method", "textDocument/didOpen"},
               {"params",
                {{"textDocument",
                  {{"uri", kUri}, {"languageId", "parts"}, {"version", 1}, {"text", text}}}}}});
  // What the source gives as it is generated (-Wall warnings included).
  const size_t mended = Published(client, 1)["params"]["diagnostics"].size();
  std::printf("%-52s %6.2f ms\n", "open to published diagnostics", MillisecondsSince(start));

  std::vector<double> times;
  int version = 1;
  for (int i = 0; i < changes; ++i) {
    ++version;
    start = Clock::now();
    client.Send(Change(version, memberLine, version % 2 == 0));
    const json published = Published(client, version);
    times.push_back(MillisecondsSince(start));
    const bool broken = version % 2 == 0;
    if ((published["params"]["diagnostics"].size() == mended) == broken) {
      throw std::runtime_error("the diagnostics do not follow the change");
    }
  }
  Report("change to published diagnostics", Summary(times));

  // Typing: ten changes back to back; the last one's diagnostics count.
  times.clear();
  for (int i = 0; i < changes / 10 + 1; ++i) {
    start = Clock::now();
    for (int k = 0; k < 10; ++k) {
      ++version;
      client.Send(Change(version, memberLine, version % 2 == 0));
    }
    Published(client, version);
    times.push_back(MillisecondsSince(start));
  }
  Report("10 changes at once to the last one's diagnostics", Summary(times));

  client.Send({{"id", 2},
               {"method", "textDocument/semanticTokens/full"},
               {"params", {{"textDocument", {{"uri", kUri}}}}}});
  start = Clock::now();
  client.WaitFor([](const json& m) { return m.value("id", 0) == 2; });
  std::printf("%-52s %6.2f ms\n", "semantic tokens of the whole source", MillisecondsSince(start));
  client.Send({{"id", 3}, {"method", "shutdown"}});
  client.WaitFor([](const json& m) { return m.value("id", 0) == 3; });
  client.Send({{"method", "exit"}});

  // Where the time goes: the compile with its placing, in this process.
  times.clear();
  const lsp::CompileFunction compile = [](const std::string& source, const std::string& path,
                                          const CompileOptions& options) {
    return CompileText(source, path, options);
  };
  for (int i = 0; i < changes; ++i) {
    start = Clock::now();
    lsp::Analysis analysis;
    analysis.snapshot = std::make_shared<const lsp::Snapshot>(text);
    lsp::Analyse(analysis, "/bench/bolts.src", {}, compile);
    times.push_back(MillisecondsSince(start));
  }
  Report("in process: read, compile and place (no pipes)", Summary(times));
  return 0;
}

// The check of a library: its folder is the workspace, one source is open,
// and each change gives it the parts name of another source and back. The
// time runs from the didChange to the publishDiagnostics of the control file
// that shows the clash, or no longer shows it.
int RunLibrary(const std::string& binary, int sources, int changes) {
  LibraryShape shape;
  shape.sources = sources;
  shape.sizesPerSource = 4;
  shape.membersPerSize = 8;
  shape.macrosPerSource = 4;
  char pattern[] = "/tmp/partsc-lsp-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    throw std::runtime_error("no temporary directory");
  }
  const Library library = GenerateLibrary(pattern, shape);
  std::printf("partsc --lsp: a library of %d sources, %lld bytes, %d changes\n", sources,
              static_cast<long long>(library.sourceBytes), changes);
  const std::string sourceUri = FileUri(library.sourcePaths[0]);
  const std::string controlUri = FileUri(library.dir + "/" + library.controlName);
  const std::string text = SourceText(shape, 0);
  std::string clashing = text;
  const std::string name = "!" + library.partsNames[0] + "!";
  clashing.replace(clashing.find(name), name.size(), "!" + library.partsNames[1] + "!");

  Client client(binary);
  client.Send({{"id", 1},
               {"method", "initialize"},
               {"params", {{"rootUri", FileUri(library.dir)}, {"capabilities", json::object()}}}});
  client.WaitFor([](const json& m) { return m.value("id", 0) == 1; });
  client.Send({{"method", "initialized"}, {"params", json::object()}});
  auto start = Clock::now();
  client.Send({{"method", "textDocument/didOpen"},
               {"params",
                {{"textDocument",
                  {{"uri", sourceUri}, {"languageId", "parts"}, {"version", 1}, {"text", text}}}}}});
  // The first check publishes nothing for a library without a mistake: wait
  // for the first clash instead.
  std::vector<double> times;
  for (int version = 2; version < changes + 2; ++version) {
    const bool clash = version % 2 == 0;
    if (version > 2) {
      start = Clock::now();
    }
    client.Send({{"method", "textDocument/didChange"},
                 {"params",
                  {{"textDocument", {{"uri", sourceUri}, {"version", version}}},
                   {"contentChanges", json::array({{{"text", clash ? clashing : text}}})}}}});
    client.WaitFor([&](const json& m) {
      return m.value("method", "") == "textDocument/publishDiagnostics" &&
             m["params"].value("uri", "") == controlUri &&
             m["params"]["diagnostics"].empty() != clash;
    });
    const double time = MillisecondsSince(start);
    if (version == 2) {
      std::printf("%-52s %6.2f ms\n", "open and a clash to the control file's diagnostics", time);
    } else {
      times.push_back(time);
    }
  }
  Report("change to the control file's diagnostics", Summary(times));
  client.Send({{"id", 2}, {"method", "shutdown"}});
  client.WaitFor([](const json& m) { return m.value("id", 0) == 2; });
  client.Send({{"method", "exit"}});
  std::filesystem::remove_all(pattern);
  return 0;
}

}  // namespace
}  // namespace partsc::bench

int main(int argc, char** argv) {
  const std::string binary = argc > 1 ? argv[1] : PARTSC_BINARY;
  const int changes = argc > 2 ? std::atoi(argv[2]) : 100;
  const int sources = argc > 3 ? std::atoi(argv[3]) : 2000;
  try {
    const int status = partsc::bench::Run(binary, changes < 10 ? 10 : changes);
    return status != 0 ? status
                       : partsc::bench::RunLibrary(binary, sources < 2 ? 2 : sources,
                                                   changes < 10 ? 11 : changes / 10 + 1);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "partsc_lsp_bench: %s\n", error.what());
    return 1;
  }
}
