// One version of a document as the server knows it: its text, its lines,
// the compiler's reading of it and, once compiled, its diagnostics placed in
// the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <partsc/partsc.h>

#include "compiler/source_reading.h"
#include "lsp/text_document.h"

namespace partsc::lsp {

// A text with its line index and its reading; neither is copied nor moved,
// so that both may keep views of the text.
struct Snapshot {
  explicit Snapshot(std::string content)
      : text(std::move(content)), lines(text), reading(ReadSource(text)) {}
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  const std::string text;
  const LineIndex lines;
  const Reading reading;
};

// The protocol's severities.
inline constexpr int kSeverityError = 1;
inline constexpr int kSeverityWarning = 2;
inline constexpr int kSeverityInformation = 3;

// A diagnostic placed in the text: byte offsets of what it is about.
struct PlacedDiagnostic {
  size_t start = 0;
  size_t end = 0;
  int severity = kSeverityError;
  std::string code;  // the stable name; empty for a problem of the settings file
  std::string message;
};

// A document's version with what its compile found.
struct Analysis {
  uint64_t generation = 0;
  std::shared_ptr<const Snapshot> snapshot;
  std::vector<PlacedDiagnostic> diagnostics;
};

// What a compile of a document needs besides its text.
struct CompileSettings {
  std::string settingsPath;    // the settings file taken; empty: none
  std::string problem;         // what is wrong with it; empty: nothing
  std::string partsDirectory;  // empty: the document's directory
};

// Compiles a text in memory as the parts source at `path`.
using CompileFunction = std::function<api::CompileResult(
    const std::string& text, const std::string& path, const api::CompileOptions& options)>;

// The severity the protocol shows: an error whenever the compile stops or the
// parts file is not written after it, else the diagnostic's own.
int SeverityOf(const api::Diagnostic& diagnostic);

// Compiles the snapshot with every warning of -Wall on and places what the
// compile reports; a problem of the settings file comes first, on the first
// line.
std::vector<PlacedDiagnostic> AnalyseSnapshot(const Snapshot& snapshot, const std::string& path,
                                              const CompileSettings& settings,
                                              const CompileFunction& compile);

// Places one diagnostic of the compile in the text that was compiled.
PlacedDiagnostic Place(const Reading& reading, const api::Diagnostic& diagnostic);

}  // namespace partsc::lsp
