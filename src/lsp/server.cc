#include "lsp/server.h"

#include <algorithm>
#include <exception>
#include <new>
#include <set>
#include <string_view>
#include <utility>

#include <partsc/version.h>
#include <nlohmann/json.hpp>

#include "lsp/features.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_json.h"
#include "platform/ov_string_util.h"

namespace partsc::lsp {
namespace {

using nlohmann::json;

// The protocol's text synchronisation kind "incremental".
constexpr int kSyncIncremental = 2;
// The protocol's message types for window/showMessage.
constexpr int kMessageError = 1;

bool IsValidId(const json& id) {
  return id.is_number_integer() || id.is_string();
}

// A client's message: as long as the framing lets it be, nested at most 64
// deep (the protocol's messages nest a few levels).
constexpr OvJsonLimits kMessageLimits{SIZE_MAX, 64};

// True when the client offers UTF-8 positions.
bool OffersUtf8(const json& params) {
  const json::json_pointer where("/capabilities/general/positionEncodings");
  const json encodings = params.contains(where) ? params.at(where) : json();
  return encodings.is_array() &&
         std::find(encodings.begin(), encodings.end(), "utf-8") != encodings.end();
}

// The workspace folders of an initialize request, as paths: its
// workspaceFolders, else its rootUri, else its rootPath.
std::vector<std::string> WorkspaceRoots(const json& params) {
  std::vector<std::string> roots;
  const json folders = params.value("workspaceFolders", json());
  for (const json& folder : folders.is_array() ? folders : json::array()) {
    if (folder.is_object() && folder.value("uri", json()).is_string()) {
      roots.push_back(PathOfUri(folder["uri"].get<std::string>()));
    }
  }
  const json rootUri = params.value("rootUri", json());
  const json rootPath = params.value("rootPath", json());
  if (roots.empty() && rootUri.is_string()) {
    roots.push_back(PathOfUri(rootUri.get<std::string>()));
  } else if (roots.empty() && rootPath.is_string()) {
    roots.push_back(rootPath.get<std::string>());
  }
  // A path is absolute, without a trailing "/" but for "/" itself.
  std::erase_if(roots, [](const std::string& root) { return root.empty() || root[0] != '/'; });
  for (std::string& root : roots) {
    while (root.size() > 1 && root.back() == '/') {
      root.pop_back();
    }
  }
  return roots;
}

bool ClientWatchesFiles(const json& params) {
  const json::json_pointer where(
      "/capabilities/workspace/didChangeWatchedFiles/dynamicRegistration");
  return params.contains(where) && params.at(where) == true;
}

// A request the server does not know, or a parameter it cannot take.
struct RequestError {
  int code;
  std::string message;
};

// A request about an open document, with what the server knows of it.
struct DocumentRequest {
  const View& view;
  const std::string& uri;
  const std::vector<PlacedDiagnostic>& diagnostics;  // of the last compile
  const json& params;

  size_t Offset() const { return view.OffsetOf(params.at("position")); }
};

// The requests about a document that the server answers, each with the
// capability that announces it and the capability's options (null: it is
// announced as true): the one list all are taken from.
struct DocumentMethod {
  std::string_view method;
  std::string_view provider;
  json (*answer)(const DocumentRequest&);
  json (*options)() = nullptr;
};
constexpr DocumentMethod kDocumentMethods[] = {
    {"textDocument/hover", "hoverProvider",
     [](const DocumentRequest& r) { return Hover(r.view, r.diagnostics, r.Offset()); }},
    {"textDocument/completion", "completionProvider",
     [](const DocumentRequest& r) { return Completion(r.view, r.Offset()); },
     [] { return json::parse(R"({"triggerCharacters":["$","{"],"resolveProvider":false})"); }},
    {"textDocument/definition", "definitionProvider",
     [](const DocumentRequest& r) { return Definition(r.view, r.uri, r.Offset()); }},
    {"textDocument/references", "referencesProvider",
     [](const DocumentRequest& r) {
       const json::json_pointer declarations("/context/includeDeclaration");
       return References(r.view, r.uri, r.Offset(),
                         !r.params.contains(declarations) || r.params.at(declarations) == true);
     }},
    {"textDocument/documentHighlight", "documentHighlightProvider",
     [](const DocumentRequest& r) { return Highlights(r.view, r.Offset()); }},
    {"textDocument/rename", "renameProvider",
     [](const DocumentRequest& r) {
       RenameResult renamed =
           Rename(r.view, r.uri, r.Offset(), r.params.at("newName").get<std::string>());
       if (renamed.refusal) {
         throw RequestError{kRequestFailed, *renamed.refusal};
       }
       return std::move(renamed.edit);
     }},
    {"textDocument/codeAction", "codeActionProvider",
     [](const DocumentRequest& r) {
       const json& range = r.params.at("range");
       return CodeActions(r.view, r.uri, r.diagnostics, r.view.OffsetOf(range.at("start")),
                          r.view.OffsetOf(range.at("end")));
     },
     [] { return json::parse(R"({"codeActionKinds":["quickfix"]})"); }},
    {"textDocument/documentSymbol", "documentSymbolProvider",
     [](const DocumentRequest& r) { return DocumentSymbols(r.view, r.diagnostics); }},
    {"textDocument/foldingRange", "foldingRangeProvider",
     [](const DocumentRequest& r) { return FoldingRanges(r.view); }},
    {"textDocument/semanticTokens/full", "semanticTokensProvider",
     [](const DocumentRequest& r) { return SemanticTokens(r.view); }, SemanticTokensOptions},
};

json Capabilities(PositionEncoding encoding) {
  json capabilities{
      {"positionEncoding", encoding == PositionEncoding::kUtf8 ? "utf-8" : "utf-16"},
      {"textDocumentSync",
       {{"openClose", true}, {"change", kSyncIncremental}, {"save", {{"includeText", false}}}}},
  };
  for (const DocumentMethod& method : kDocumentMethods) {
    capabilities[std::string(method.provider)] = method.options ? method.options() : json(true);
  }
  return capabilities;
}

// The largest file whose encoding the server looks at.
constexpr size_t kLargestFile = size_t{64} << 20;

// The bytes of a file on disk; none when it cannot be read.
std::string FileText(const std::string& path) {
  return OvFileIO::ReadWholeFile(path, kLargestFile, false).bytes;
}

// Latin-1 for bytes that are not UTF-8, else UTF-8.
TextEncoding EncodingOf(std::string_view bytes) {
  return IsUtf8(bytes) ? TextEncoding::kUtf8 : TextEncoding::kLatin1;
}

// The editor's text in the bytes its file would hold: a Latin-1 file's text
// back in Latin-1, unless the editor put in a character Latin-1 does not
// have.
std::shared_ptr<const Snapshot> NewSnapshot(const std::string& text, TextEncoding fileEncoding) {
  std::optional<std::string> bytes = FileBytes(text, fileEncoding);
  return bytes ? std::make_shared<const Snapshot>(std::move(*bytes), fileEncoding)
               : std::make_shared<const Snapshot>(text);
}

}  // namespace

std::string MessageText(const json& message) {
  return message.dump(-1, ' ', false, json::error_handler_t::replace);
}

Server::Server(Outbox& outbox, ServerOptions options)
    : outbox_(outbox),
      options_(std::move(options)),
      settings_(options_.settingsPath, options_.directory, options_.lookForSettings,
                options_.readSettings),
      worker_(options_.compileInBackground),
      libraryWorker_(options_.compileInBackground) {
  if (!options_.compile) {
    options_.compile = CompileText;
  }
}

Server::~Server() {
  Stop();
}

void Server::RespondError(const json& id, int code, const std::string& message) {
  outbox_.Send(
      json{{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

void Server::Notify(const std::string& method, json params) {
  outbox_.Send(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

void Server::HandleFramingError(const std::string& problem) {
  RespondError(nullptr, kParseError, problem);
}

void Server::Handle(std::string_view body) {
  const OvJsonParsed<json> parsed = ParseJsonGuarded<json>(body, kMessageLimits);
  if (!parsed.Ok()) {
    RespondError(
        nullptr, kParseError,
        parsed.status == OvJsonResult::kNoMemory ? "out of memory" : "the message is not JSON");
    return;
  }
  const json& message = parsed.value;
  try {
    HandleMessage(message);
  } catch (const std::bad_alloc&) {
    const json id = message.is_object() && message.contains("id") ? message["id"] : json();
    if (IsValidId(id)) {
      RespondError(id, kInternalError, "out of memory");
    }
  }
}

void Server::HandleMessage(const json& message) {
  if (!message.is_object()) {
    RespondError(nullptr, kInvalidRequest, "a message is a JSON object");
    return;
  }
  const bool hasId = message.contains("id");
  const json id = hasId ? message["id"] : json();
  if (!message.contains("method")) {
    // A response to a request of the server (its registration of the
    // settings files); nothing follows from it.
    if (!hasId || (!message.contains("result") && !message.contains("error"))) {
      RespondError(nullptr, kInvalidRequest, "a message without a method");
    }
    return;
  }
  const bool versionOk = message.value("jsonrpc", json()) == "2.0";
  if (!versionOk || !message["method"].is_string() || (hasId && !IsValidId(id))) {
    RespondError(hasId && IsValidId(id) ? id : json(), kInvalidRequest,
                 "not a JSON-RPC 2.0 request or notification");
    return;
  }
  const std::string method = message["method"].get<std::string>();
  // Clients send null where a method takes no params (eglot's shutdown):
  // it stands for none.
  const bool noParams = !message.contains("params") || message["params"].is_null();
  const json params = noParams ? json::object() : message["params"];
  if (hasId) {
    HandleRequest(id, method, params);
    return;
  }
  HandleNotification(method, params);
}

void Server::HandleRequest(const json& id, const std::string& method, const json& params) {
  if (!initialized_ && method != "initialize") {
    RespondError(id, kServerNotInitialized, "the server is not initialized");
    return;
  }
  if (shutdown_) {
    RespondError(id, kInvalidRequest, "the server is shut down");
    return;
  }
  try {
    if (!params.is_object() && !params.is_array()) {
      throw RequestError{kInvalidParams, "params is an object or an array"};
    }
    outbox_.Send(json{{"jsonrpc", "2.0"}, {"id", id}, {"result", Answer(method, params)}});
  } catch (const RequestError& error) {
    RespondError(id, error.code, error.message);
  } catch (const json::exception& error) {
    RespondError(id, kInvalidParams, std::string("invalid params: ") + error.what());
  } catch (const std::exception& error) {
    RespondError(id, kInternalError, error.what());
  }
}

json Server::Answer(const std::string& method, const json& params) {
  if (method == "initialize") {
    if (initialized_) {
      throw RequestError{kInvalidRequest, "initialize was already received"};
    }
    return Initialize(params);
  }
  if (method == "shutdown") {
    shutdown_ = true;
    Stop();
    return nullptr;
  }
  const auto* known = std::ranges::find(kDocumentMethods, method, &DocumentMethod::method);
  if (known == std::end(kDocumentMethods)) {
    throw RequestError{kMethodNotFound, "unknown method " + method};
  }
  OpenDocument& open = DocumentOf(params);
  const std::shared_ptr<const Snapshot> snapshot = SnapshotOf(open);
  // What the compile of this version found; null while it runs.
  const std::shared_ptr<const Analysis> analysis = AnalysisOf(open);
  const std::vector<PlacedDiagnostic> none;
  return known->answer({View{*snapshot, encoding_}, open.document.uri,
                        analysis ? analysis->diagnostics : none, params});
}

json Server::Initialize(const json& params) {
  if (!params.is_object()) {
    throw RequestError{kInvalidParams, "initialize takes an object"};
  }
  encoding_ = OffersUtf8(params) ? PositionEncoding::kUtf8 : PositionEncoding::kUtf16;
  watchFiles_ = ClientWatchesFiles(params);
  roots_ = WorkspaceRoots(params);
  settings_.SetRoots(roots_);
  initialized_ = true;
  return json{{"capabilities", Capabilities(encoding_)},
              {"serverInfo", {{"name", "partsc"}, {"version", PARTSC_VERSION_STRING}}}};
}

// Asks a client that can watch files to tell of changes to settings files.
void Server::Initialized() {
  if (!watchFiles_) {
    return;
  }
  const std::string pattern = options_.settingsPath.empty()
                                  ? std::string("**/") + kSettingsFileName
                                  : OvFile::Resolve(options_.directory, options_.settingsPath);
  outbox_.Send(json{{"jsonrpc", "2.0"},
                    {"id", "partsc-watch-settings"},
                    {"method", "client/registerCapability"},
                    {"params",
                     {{"registrations",
                       {{{"id", "partsc-settings"},
                         {"method", "workspace/didChangeWatchedFiles"},
                         {"registerOptions",
                          {{"watchers",
                            {{{"globPattern", pattern}},
                             {{"globPattern", "**/*.CTL"}},
                             {{"globPattern", "**/*.ctl"}}}}}}}}}}}});
}

void Server::HandleNotification(const std::string& method, const json& params) {
  if (method == "exit") {
    exited_ = true;
    Stop();
    return;
  }
  if (!initialized_ || shutdown_) {
    return;  // dropped, as the protocol asks
  }
  try {
    if (method == "initialized") {
      Initialized();
    } else if (method == "textDocument/didOpen") {
      DidOpen(params);
    } else if (method == "textDocument/didChange") {
      DidChange(params);
    } else if (method == "textDocument/didSave") {
      Compile(DocumentOf(params));
    } else if (method == "textDocument/didClose") {
      DidClose(params);
    } else if (method == "workspace/didChangeWatchedFiles") {
      DidChangeWatchedFiles(params);
    }
    // Any other notification ($/cancelRequest, $/setTrace, ...) asks nothing
    // of this server.
  } catch (const RequestError& error) {
    Notify("window/logMessage", json{{"type", kMessageError}, {"message", error.message}});
  } catch (const json::exception& error) {
    Notify("window/logMessage", json{{"type", kMessageError},
                                     {"message", method + ": invalid params: " + error.what()}});
  }
}

Server::OpenDocument& Server::DocumentOf(const json& params) {
  const std::string uri = params.at("textDocument").at("uri").get<std::string>();
  const auto found = documents_.find(uri);
  if (found == documents_.end()) {
    throw RequestError{kInvalidParams, "the document is not open: " + uri};
  }
  return found->second;
}

void Server::DidOpen(const json& params) {
  const json& item = params.at("textDocument");
  const std::string uri = item.at("uri").get<std::string>();
  TextDocument document{uri, PathOfUri(uri), item.value("version", int64_t{0}),
                        item.at("text").get<std::string>()};
  OpenDocument& open = documents_[uri] = OpenDocument{};
  open.fileEncoding = EncodingOf(FileText(document.path));
  open.document = std::move(document);
  Compile(open);
}

void Server::DidChange(const json& params) {
  OpenDocument& open = DocumentOf(params);
  TextDocument& document = open.document;
  for (const json& change : params.at("contentChanges")) {
    const std::string text = change.at("text").get<std::string>();
    if (!change.contains("range")) {
      document.text = text;
      continue;
    }
    const json& range = change.at("range");
    ApplyChange(document.text, {PositionOf(range.at("start")), PositionOf(range.at("end"))}, text,
                encoding_);
  }
  document.version = params.at("textDocument").value("version", document.version);
  Compile(open);
}

void Server::DidClose(const json& params) {
  const std::string uri = DocumentOf(params).document.uri;
  documents_.erase(uri);
  {
    const std::lock_guard<std::mutex> lock(published_);
    current_.erase(uri);
    analyses_.erase(uri);
    PublishLocked(uri);
  }
  CheckLibraryAgain();
}

// Whatever file changed, the settings and the library are looked at again:
// each is checked again only when one of its own files differs from what it
// last read. (The library's sources are known only once a check has read
// them, so a change cannot be sorted out by its path.)
void Server::DidChangeWatchedFiles(const json& params) {
  if (!params.at("changes").empty()) {
    CheckSettings();
  }
}

void Server::CheckSettings() {
  if (!initialized_ || shutdown_) {
    return;
  }
  for (auto& [uri, open] : documents_) {
    const std::string path = settings_.PathFor(open.document.path);
    if (path != open.settingsPath || FileStamp(path) != open.settingsStamp) {
      Compile(open);
    }
  }
  if (LibraryChanged()) {
    CheckLibraryAgain();
  }
}

// The control files of the workspace's folders and of the folders of the
// open documents' settings files, and those open.
std::vector<std::string> Server::ControlFiles() const {
  std::set<std::string> folders(roots_.begin(), roots_.end());
  std::set<std::string> controls;
  for (const auto& [uri, open] : documents_) {
    if (!open.settingsPath.empty()) {
      folders.insert(OvFile::DirectoryOf(open.settingsPath));
    }
    if (IsControlFile(open.document.path)) {
      controls.insert(open.document.path);
    }
  }
  for (const std::string& folder : folders) {
    const std::vector<std::string> found = ControlFilesIn(folder);
    controls.insert(found.begin(), found.end());
  }
  return {controls.begin(), controls.end()};
}

// True when a control file came or went, or a file the last check read
// changed on disk.
bool Server::LibraryChanged() {
  if (!options_.checkLibrary) {
    return false;
  }
  if (ControlFiles() != library_.controls) {
    return true;
  }
  const std::lock_guard<std::mutex> lock(published_);
  const auto unseen = [this](const std::string& input) { return !library_.stamps.contains(input); };
  const auto changed = [](const auto& entry) { return FileStamp(entry.first) != entry.second; };
  return std::ranges::any_of(libraryFindings_.inputs, unseen) ||
         std::ranges::any_of(library_.stamps, changed);
}

// Checks the library of each control file as partsc --check does, with the
// open documents' texts in place of their files, and publishes what it
// finds; a check that waits is replaced.
void Server::CheckLibraryAgain() {
  if (!options_.checkLibrary || !initialized_ || shutdown_) {
    return;
  }
  LibraryState state{ControlFiles(), {}};
  if (state.controls.empty() && library_.controls.empty()) {
    return;
  }
  std::vector<LibraryRun> runs;
  std::map<std::string, std::string> texts;
  LibraryFindings findings;  // of the texts as they are now
  for (const auto& [uri, open] : documents_) {
    if (!open.document.path.empty()) {
      texts[open.document.path] =
          FileBytes(open.document.text, open.fileEncoding).value_or(open.document.text);
      findings.generations[open.document.path] = open.generation;
    }
  }
  for (const std::string& control : state.controls) {
    const std::string settingsPath = settings_.PathFor(control);
    runs.push_back(
        LibraryRun{.controlPath = control,
                   .settingsPath = settingsPath,
                   .directory = OvFile::DirectoryOf(settingsPath.empty() ? control : settingsPath),
                   .warnings = settings_.Read(settingsPath).RunWarnings(),
                   .texts = texts});
    for (const std::string& path : {control, settingsPath}) {
      if (!path.empty()) {
        state.stamps[path] = FileStamp(path);
      }
    }
  }
  {
    const std::lock_guard<std::mutex> lock(published_);
    for (const std::string& input : libraryFindings_.inputs) {
      state.stamps[input] = FileStamp(input);
    }
  }
  library_ = std::move(state);
  libraryWorker_.Submit("library",
                        [this, runs = std::move(runs), findings = std::move(findings)]() mutable {
                          for (const LibraryRun& run : runs) {
                            CheckLibrary(options_.checkLibrary, run, findings);
                          }
                          PublishLibrary(std::move(findings));
                        });
}

void Server::PublishLibrary(LibraryFindings findings) {
  const std::lock_guard<std::mutex> lock(published_);
  std::set<std::string> paths;
  for (const LibraryFindings* each : {&libraryFindings_, &findings}) {
    for (const auto& [path, found] : each->byPath) {
      paths.insert(path);
    }
  }
  libraryFindings_ = std::move(findings);
  for (const std::string& path : paths) {
    std::string uri = FileUri(path);
    for (const auto& [openUri, analysis] : analyses_) {
      if (analysis->path == path) {
        uri = openUri;
      }
    }
    PublishLocked(uri);
  }
}

std::shared_ptr<const Snapshot> Server::SnapshotOf(OpenDocument& open) {
  if (!open.snapshot) {
    const std::shared_ptr<const Analysis> analysis = AnalysisOf(open);
    open.snapshot =
        analysis ? analysis->snapshot : NewSnapshot(open.document.text, open.fileEncoding);
  }
  return open.snapshot;
}

std::shared_ptr<const Analysis> Server::AnalysisOf(const OpenDocument& open) {
  const std::lock_guard<std::mutex> lock(published_);
  const auto found = analyses_.find(open.document.uri);
  if (found == analyses_.end() || found->second->generation != open.generation) {
    return nullptr;
  }
  return found->second;
}

// Compiles the document's text as it is now; a compile of an older text that
// has not published yet never will.
void Server::Compile(OpenDocument& open) {
  open.generation = nextGeneration_++;
  open.snapshot.reset();
  open.settingsPath = settings_.PathFor(open.document.path);
  open.settingsStamp = FileStamp(open.settingsPath);
  {
    const std::lock_guard<std::mutex> lock(published_);
    current_[open.document.uri] = open.generation;
  }
  worker_.Submit(open.document.uri, [this, document = open.document,
                                     fileEncoding = open.fileEncoding, generation = open.generation,
                                     settings = settings_.Read(open.settingsPath)] {
    try {
      auto analysis = std::make_shared<Analysis>();
      analysis->generation = generation;
      analysis->version = document.version;
      analysis->path = document.path;
      analysis->snapshot = NewSnapshot(document.text, fileEncoding);
      // A control file is no source: what it holds comes from the check.
      if (!IsControlFile(document.path)) {
        const std::string& path = document.path.empty() ? document.uri : document.path;
        Analyse(*analysis, path, settings, options_.compile);
      }
      Publish(document.uri, std::move(analysis));
    } catch (const std::exception& error) {
      Notify("window/showMessage",
             json{{"type", kMessageError},
                  {"message", "partsc could not compile " + document.uri + ": " + error.what()}});
    }
  });
  CheckLibraryAgain();
}

void Server::Publish(const std::string& uri, std::shared_ptr<const Analysis> analysis) {
  const std::lock_guard<std::mutex> lock(published_);
  const auto current = current_.find(uri);
  if (current == current_.end() || current->second != analysis->generation) {
    return;  // the document changed or went since: this compile is superseded
  }
  analyses_[uri] = std::move(analysis);
  PublishLocked(uri);
}

// Publishes what is known of `uri`, if it changed: for an open document
// what its compile found and what the check of the library found beside it
// (a missing view, a clash of parts names), for a file not open what the
// check found, placed in the file as it is on disk. `published_` is held.
void Server::PublishLocked(const std::string& uri) {
  const auto open = analyses_.find(uri);
  const auto current = current_.find(uri);
  if (current != current_.end() &&
      (open == analyses_.end() || open->second->generation != current->second)) {
    return;  // open, and the compile of its text has not come
  }
  const Analysis* analysis = open == analyses_.end() ? nullptr : open->second.get();
  const std::string path = analysis ? analysis->path : PathOfUri(uri);
  const auto library = libraryFindings_.byPath.find(path);
  const std::vector<Diagnostic> none;
  const std::vector<Diagnostic>& found =
      library == libraryFindings_.byPath.end() ? none : library->second;
  std::shared_ptr<const Snapshot> snapshot = analysis ? analysis->snapshot : nullptr;
  if (!snapshot) {
    std::string text = found.empty() ? std::string() : FileText(path);
    const TextEncoding encoding = EncodingOf(text);
    snapshot = std::make_shared<const Snapshot>(std::move(text), encoding);
  }
  // A check of an older text still tells what the run found about the
  // whole source (a clash of parts names, no view), not about its lines.
  const auto taken = libraryFindings_.generations.find(path);
  const bool checked = analysis == nullptr || (taken != libraryFindings_.generations.end() &&
                                               taken->second == analysis->generation);
  std::vector<PlacedDiagnostic> diagnostics =
      analysis ? analysis->diagnostics : std::vector<PlacedDiagnostic>();
  for (const Diagnostic& finding : found) {
    const bool compiled =
        analysis && std::ranges::find(analysis->findings, finding) != analysis->findings.end();
    if ((checked || finding.line == 0) && !compiled) {
      diagnostics.push_back(Place(*snapshot, finding));
    }
  }
  json message{{"uri", uri},
               {"diagnostics", DiagnosticsJson(View{*snapshot, encoding_}, diagnostics)}};
  if (analysis) {
    message["version"] = analysis->version;
  }
  std::string text = MessageText(message);
  const auto sent = sent_.find(uri);
  if (sent != sent_.end() && sent->second == text) {
    return;
  }
  if (diagnostics.empty() && analysis == nullptr) {
    sent_.erase(uri);
  } else {
    sent_[uri] = std::move(text);
  }
  Notify("textDocument/publishDiagnostics", std::move(message));
}

}  // namespace partsc::lsp
