// partsc as a library: compile parts sources in memory, with every
// diagnostic as a record.
//
//   #include <partsc/partsc.h>
//
//   partsc::api::CompileResult result =
//       partsc::api::CompileText("$$PARTS !bolt!\n$$APG\n$TOP !T!\n$$END\n", "bolt.src");
//   for (const partsc::api::Diagnostic& d : result.diagnostics) { ... }
//
// Every call works on objects of its own: calls may run at once on several
// threads. Nothing is written to a file and nothing is printed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace partsc::api {

// One diagnostic of a compile, as the structured formats give it.
struct Diagnostic {
  std::string name;      // the stable name, "partsc-illegal-param"
  std::string severity;  // "error", "warning" or "note"
  std::string label;     // the error log's severity letter: "E", "W" or " "
  // What follows from it: "goes-on", "source-stops", "file-not-written" or
  // "run-stops".
  std::string consequence;
  std::string message;  // the error log's text
  std::string file;     // the file it is about; empty: none
  int line = 0;         // the line of the file, from 1; 0: none
  int column = 0;       // from 1; 0: none
  int logLine = 0;      // the line number the error log shows; 0: none
  std::string extra;    // the extra text the error log shows in brackets
  std::string reason;   // the system's reason for an I/O failure
};

struct CompileOptions {
  // The warnings for silent changes, as the -W options give them without
  // "-W": "all", "NAME" or "no-NAME". An unknown name is refused with
  // std::invalid_argument.
  std::vector<std::string> warnings;
  // The directory the parts name is resolved in (the file class
  // #PARTS:BIN#); empty: the directory of the source path.
  std::string partsDirectory;
};

struct CompileResult {
  // The compile's result: 0 when the parts file was compiled whole, else the
  // code of what stopped it (10 not a parts source, 22 the source cannot be
  // read, 40 a member line refused, 501 no parts name, ...).
  int code = -1;
  // The full path the parts file would be written to; empty when the compile
  // stopped before it was named.
  std::string partsPath;
  // The bytes of the parts file as partsc would write them; empty unless the
  // code is 0.
  std::string bytes;
  // Every diagnostic; those about a line of the source in the order of
  // their lines, the others where they were reported.
  std::vector<Diagnostic> diagnostics;
  // The lines the error log would get, "Input File [...]" first.
  std::string errorLog;
  bool Compiled() const { return code == 0; }
};

// Compiles `text` as the parts source at `path` (which names it in the
// diagnostics; no file is read).
CompileResult CompileText(std::string_view text, const std::string& path,
                          const CompileOptions& options = {});
// Compiles the parts source file at `path`.
CompileResult CompileFile(const std::string& path, const CompileOptions& options = {});

}  // namespace partsc::api
