// The library a document belongs to: its control files, and what a check of
// each finds, as `partsc --check` runs it, about the control file and every
// source it names.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "lsp/analysis.h"

namespace partsc::lsp {

// What a check of a library is asked.
struct LibraryRun {
  std::string controlPath;   // the control file, a full path
  std::string settingsPath;  // -p; empty: none
  std::string directory;     // where the run starts: the settings file's, else the control file's
  std::vector<std::string> warnings;         // -W options (without "-W"), in order
  std::map<std::string, std::string> texts;  // the open documents by path, in their files' bytes
};

// Runs the check `run` asks for, handing every record to `sink` and the full
// path of each source it compiles to `inputs`.
using LibraryCheckFunction = std::function<void(const LibraryRun& run, DiagnosticSink& sink,
                                                std::vector<std::string>& inputs)>;

// What the checks found: by the full path of the file each finding is about
// (a source, for what a run found about its parts file), and the sources
// they compiled.
struct LibraryFindings {
  std::map<std::string, std::vector<Diagnostic>> byPath;
  std::vector<std::string> inputs;
  // The generation of each open document's text the checks took, by path.
  std::map<std::string, uint64_t> generations;
};

// Runs `check` for `run` and adds what it finds to `findings`.
void CheckLibrary(const LibraryCheckFunction& check, const LibraryRun& run,
                  LibraryFindings& findings);

// A control file by its name: it ends in ".CTL" or ".ctl".
bool IsControlFile(const std::string& path);

// The control files in `directory`, as full paths.
std::vector<std::string> ControlFilesIn(const std::string& directory);

}  // namespace partsc::lsp
