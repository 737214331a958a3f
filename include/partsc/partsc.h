// partsc as a library: compile parts sources in memory into the model of
// their parts files (<partsc/model.h>) with every diagnostic as a record,
// read a parts file into its model, write a model as a parts file, and give
// the listing partsc writes into its run log for a model.
//
//   #include <partsc/partsc.h>
//
//   partsc::api::CompileResult result =
//       partsc::api::CompileText("$$PARTS !bolt!\n$$APG\n$TOP !T!\n$$END\n", "bolt.src");
//   for (const partsc::api::Diagnostic& d : result.diagnostics) { ... }
//   for (const partsc::PartsSize& size : result.model.sizes) { ... }
//
// Link with partsc::partsc (find_package(partsc CONFIG REQUIRED)). Every call
// works on objects of its own: calls may run at once on several threads.
// Nothing is printed; only WritePartsFile writes a file.
#pragma once

#include <partsc/model.h>

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
  // The bytes of the parts file as partsc would write them, and their model;
  // both empty unless the code is 0.
  std::string bytes;
  PartsModel model;
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

// The model of the bytes of a parts file. A file that cannot be read whole
// gives what could be read; model.read says where reading stopped and why.
PartsModel DecodePartsFile(std::string_view bytes);

// Every problem that keeps `model` from being written as the parts file at
// `path` (whose file name gives the parts name; empty: none is checked), each
// with the JSON Pointer of the field and the rule it breaks: a view defined;
// counts that agree with what is there; sizes in the order of their sort
// mode, named once each; every number in its range; every text fitting its
// field as a source gives it; the member lists laid end to end; and a source
// that gives the file back. A model without problems gives a file that
// `partsc --list` lists whole and `partsc --decompile` recovers.
std::vector<ModelProblem> Validate(const PartsModel& model, const std::string& path = {});

// The bytes of the parts file of `model`, as partsc writes them for the same
// records. Every field is written as the model holds it; the member lists go
// where header.commonOffset, each memberOffset and each unlisted offset
// place them (after changing entries, call PlaceMemberLists). Throws
// std::invalid_argument, "POINTER: RULE" of the first problem Validate
// finds, for a model that breaks the rule.
std::string EncodePartsFile(const PartsModel& model);

// Lays the member lists of `model` end to end and sets the offsets that
// point to them: the common list first, then the others in the order of
// their offsets, and last, in model order, those whose offset is 0 (a size
// just added).
void PlaceMemberLists(PartsModel& model);

struct ReadResult {
  // 0 when the file was read (its model may still say that it is damaged:
  // see model.read), kPartsNoFile, kPartsOpenFailed, kReadShort when the
  // system's read fell short, kNoMemory.
  int code = 0;
  PartsModel model;
};

// Reads the parts file at `path` whole and decodes it.
ReadResult ReadPartsFile(const std::string& path);

struct WriteResult {
  // 0, or what failed: 11 the file could not be created, 20 an older file
  // could not be moved to its backup, 22 a write fell short, 24 the model
  // breaks the rule (see problems; nothing was touched).
  int code = 0;
  std::string reason;                 // the system's reason, or the first problem
  std::vector<ModelProblem> problems;  // code 24: every problem Validate found
  bool Written() const { return code == 0; }
};

// Writes the parts file of `model` at `path` as partsc writes one: an older
// file of that name is first moved to its backup (the path followed by
// ".old", or ".OLD" when the file name is not in lower case), under the lock
// of the directory that partsc runs share. A model that Validate refuses is
// not written, and no file is touched.
WriteResult WritePartsFile(const PartsModel& model, const std::string& path);

struct Listing {
  // 0 when the whole listing was written, else the step that failed (as the
  // run log shows it, the text then ends there): 2 the header, 3 the file
  // name has no full stop, 4 the views, 5 the size list, 6 the common list,
  // 7 a size's member list.
  int code = 0;
  int readResult = 0;  // the read result behind a failed step
  std::string text;    // the run log's text
  std::string reason;  // why the file cannot be listed; empty when code is 0
};

// The listing partsc writes into its run log for the parts file at `path`
// (the path shows in its first line and gives the parts name) whose model is
// `model`.
Listing ListModel(const PartsModel& model, const std::string& path);

}  // namespace partsc::api
