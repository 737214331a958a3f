// The language server: the protocol's lifecycle, the open documents and the
// answer to each message. Messages come in as bodies already cut from their
// framing; what the server sends goes to an Outbox.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "lsp/analysis.h"
#include "lsp/compile_worker.h"
#include "lsp/library.h"
#include "lsp/settings_rule.h"
#include "lsp/text_document.h"

namespace partsc::lsp {

// The error codes of JSON-RPC and of the protocol.
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
inline constexpr int kServerNotInitialized = -32002;
inline constexpr int kRequestFailed = -32803;

// Where the server's messages go; Send may be called from several threads.
class Outbox {
 public:
  virtual ~Outbox() = default;
  virtual void Send(const nlohmann::json& message) = 0;
};

// The JSON text of a message as it is sent: invalid UTF-8 in a text taken
// from a document is replaced, never refused.
std::string MessageText(const nlohmann::json& message);

struct ServerOptions {
  // -p SETTINGS, taken from `directory`; empty: the nearest settings file.
  std::string settingsPath;
  std::string directory;
  // False: no settings file at all (fuzzing).
  bool lookForSettings = true;
  // False: each compile runs at once on the thread that hands the server its
  // messages, so that what it sends follows in a fixed order (tests).
  bool compileInBackground = true;
  // The compile; empty: the library's CompileText.
  CompileFunction compile;
  // The check of a library, as partsc --check runs it; empty: none.
  LibraryCheckFunction checkLibrary;
  // What a settings file gives, read as a run reads it; empty: no settings
  // file is read.
  SettingsReader readSettings;
};

class Server {
 public:
  Server(Outbox& outbox, ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // One message body.
  void Handle(std::string_view body);
  // What was wrong with bytes that could not be taken as a message.
  void HandleFramingError(const std::string& problem);
  // Looks at the settings files of the open documents and compiles again
  // those whose settings file changed; checks the library again when a file
  // of it changed.
  void CheckSettings();

  bool Exited() const { return exited_; }
  // 0 after shutdown and exit, 1 otherwise.
  int ExitCode() const { return shutdown_ ? 0 : 1; }
  // Waits for the compile that runs now and drops those that wait.
  void Stop() {
    worker_.Stop();
    libraryWorker_.Stop();
  }

 private:
  struct OpenDocument {
    TextDocument document;
    // The encoding of the file on disk when it was opened: the text is
    // compiled in it.
    TextEncoding fileEncoding = TextEncoding::kUtf8;
    uint64_t generation = 0;
    // The settings file its last compile took, and the file's stamp then.
    std::string settingsPath;
    std::optional<OvFileStamp> settingsStamp;
    std::shared_ptr<const Snapshot> snapshot;  // of this generation, once made
  };
  // The last check of the library: the files it read and the stamp of each
  // then.
  struct LibraryState {
    std::vector<std::string> controls;
    std::map<std::string, std::optional<OvFileStamp>> stamps;
  };

  void HandleMessage(const nlohmann::json& message);
  void HandleRequest(const nlohmann::json& id, const std::string& method,
                     const nlohmann::json& params);
  void HandleNotification(const std::string& method, const nlohmann::json& params);
  nlohmann::json Answer(const std::string& method, const nlohmann::json& params);
  nlohmann::json Initialize(const nlohmann::json& params);
  void Initialized();

  void DidOpen(const nlohmann::json& params);
  void DidChange(const nlohmann::json& params);
  void DidClose(const nlohmann::json& params);
  void DidChangeWatchedFiles(const nlohmann::json& params);

  OpenDocument& DocumentOf(const nlohmann::json& params);
  std::shared_ptr<const Snapshot> SnapshotOf(OpenDocument& open);
  std::shared_ptr<const Analysis> AnalysisOf(const OpenDocument& open);
  void Compile(OpenDocument& open);
  void Publish(const std::string& uri, std::shared_ptr<const Analysis> analysis);
  void PublishLocked(const std::string& uri);

  std::vector<std::string> ControlFiles() const;
  bool LibraryChanged();
  void CheckLibraryAgain();
  void PublishLibrary(LibraryFindings findings);

  void RespondError(const nlohmann::json& id, int code, const std::string& message);
  void Notify(const std::string& method, nlohmann::json params);

  Outbox& outbox_;
  ServerOptions options_;
  SettingsRule settings_;
  PositionEncoding encoding_ = PositionEncoding::kUtf16;
  bool initialized_ = false;
  bool shutdown_ = false;
  bool exited_ = false;
  bool watchFiles_ = false;
  std::vector<std::string> roots_;  // the workspace's folders
  LibraryState library_;
  std::map<std::string, OpenDocument> documents_;
  uint64_t nextGeneration_ = 1;

  // Shared with the compiles: the generation each open document is at, what
  // its last published compile found, what the last check of the library
  // found by path, the sources it compiled, and what was last published
  // for each uri.
  std::mutex published_;
  std::map<std::string, uint64_t> current_;
  std::map<std::string, std::shared_ptr<const Analysis>> analyses_;
  LibraryFindings libraryFindings_;
  std::map<std::string, std::string> sent_;

  // Last: they stop before what their work uses goes.
  CompileWorker worker_;
  CompileWorker libraryWorker_;
};

}  // namespace partsc::lsp
