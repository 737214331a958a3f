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
#include "lsp/quick_fix.h"
#include "lsp/text_document.h"

namespace partsc::lsp {

// A text in the bytes the file holds, with its line index and its reading;
// neither is copied nor moved, so that both may keep views of the text.
struct Snapshot {
  explicit Snapshot(std::string content, TextEncoding source = TextEncoding::kUtf8)
      : text(std::move(content)),
        encoding(source),
        lines(text, source),
        reading(ReadSource(text)) {}
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  // A part of the text as the client holds it: in UTF-8.
  std::string ClientText(std::string_view part) const;

  const std::string text;
  const TextEncoding encoding;
  const LineIndex lines;
  const Reading reading;
};

// A diagnostic of a compile or of a run, as the server keeps it: without
// the file and the bracketed addition, which the compile of an open document
// and the check of its library give apart, so that the two compare equal.
Diagnostic Kept(Diagnostic diagnostic);

// A diagnostic placed in the text: byte offsets of what it is about.
struct PlacedDiagnostic {
  size_t start = 0;
  size_t end = 0;
  Severity severity = Severity::kError;
  std::string code;  // the stable name
  std::string message;
  std::optional<QuickFix> fix;  // the fix it names
};

// A document's version with what its compile found.
struct Analysis {
  uint64_t generation = 0;
  int64_t version = 0;  // the document's
  std::string path;     // of its file; empty when it names none
  std::shared_ptr<const Snapshot> snapshot;
  std::vector<Diagnostic> findings;
  std::vector<PlacedDiagnostic> diagnostics;  // the findings placed, in their order
};

// What a compile of a document needs besides its text.
struct CompileSettings {
  std::string settingsPath;    // the settings file taken; empty: none
  std::string problem;         // what is wrong with it; empty: nothing
  std::string partsDirectory;  // empty: the document's directory
  // The -W options its #PARTS:WARNINGS# gives (without "-W"), taken after
  // -Wall as a run takes them.
  std::vector<std::string> warnings;

  // The -W options of a compile or a check: "all", then those it gives.
  std::vector<std::string> RunWarnings() const;
};

// Compiles a text in memory as the parts source at `path`.
using CompileFunction = std::function<CompileResult(
    const std::string& text, const std::string& path, const CompileOptions& options)>;

// Compiles the snapshot with every warning of -Wall on, then those the
// settings file gives, and places what the compile reports with the fix each
// names; a problem of the settings file comes first, on the first line. An
// empty text is not compiled.
void Analyse(Analysis& analysis, const std::string& path, const CompileSettings& settings,
             const CompileFunction& compile);

// Places a finding in the text that was compiled, with the fix it names.
PlacedDiagnostic Place(const Snapshot& snapshot, const Diagnostic& finding);

}  // namespace partsc::lsp
