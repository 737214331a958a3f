// partsc as a library: compile parts sources in memory into the model of
// their parts files (<partsc/model.h>) with every diagnostic as a record
// (<partsc/diagnostic.h>); read, check, write and list parts files; give a
// model as the JSON document partsc --list --format=json prints and read one
// back; and say what changed from one model to another (<partsc/diff.h>).
//
//   #include <partsc/partsc.h>
//
//   const partsc::CompileResult result =
//       partsc::CompileText("$$PARTS !bolt!\n$$APG\n$TOP !T!\n$$END\n", "/lib/bolt.src");
//   for (const partsc::Diagnostic& d : result.diagnostics) { ... }
//   if (result.status == partsc::CompileEnd::kCompiled) { ... result.model ... }
//
// Link with partsc::partsc (find_package(partsc CONFIG REQUIRED)), or
// `pkg-config --cflags --libs partsc`; the headers need C++20.
//
// Failures: every call answers a value that says whether it did what was
// asked (a status enum, or a list of problems), and why not. No call throws
// an exception of its own; one that runs out of memory answers kNoMemory
// where its status has it, and otherwise lets std::bad_alloc through.
//
// Every call works on objects of its own: calls may run at once on several
// threads. Nothing is printed; only WritePartsFile writes a file.
#pragma once

#include <partsc/diagnostic.h>
#include <partsc/diff.h>
#include <partsc/export.h>
#include <partsc/model.h>
#include <partsc/version.h>

#include <string>
#include <string_view>
#include <vector>

namespace partsc {

// The version of the library the program runs with, "1.0.0"
// (PARTSC_VERSION_STRING is that of the headers it was compiled with).
PARTSC_API const char* Version();

struct CompileOptions {
  // The warnings for silent changes, as the -W options give them without
  // "-W": "all", "NAME" or "no-NAME" (partsc --explain all lists them).
  std::vector<std::string> warnings;
  // The directory the parts name is resolved in (the file class
  // #PARTS:BIN#); empty: the directory of the source path.
  std::string partsDirectory;
  // Read on after the line that ends the compile, as partsc --check
  // --keep-going does: the later diagnostics come too, each with afterStop;
  // the status is still that of the line, and no bytes are built.
  bool keepGoing = false;
};

// How a compile ended. Each but kCompiled and kUnknownWarning has its
// diagnostic among the result's.
enum class CompileEnd {
  kCompiled,           // the parts file compiled whole
  kUnknownWarning,     // a warning of the options has no such name: nothing was compiled
  kSourceUnreadable,   // the source cannot be read ("Input File Open Error")
  kNotPartsSource,     // its first keyword line is not $$PARTS ("Not Parts Input File")
  kNoPartsName,        // the $$PARTS line names no parts ("Parts name not found")
  kNoSizeName,         // a $$SIZE line names no size
  kSizeNamedTwice,     // two $$SIZE lines name the same size
  kMemberLineRefused,  // a member line was refused ("Illegal param defination" ...)
  kTableFull,          // a member list holds more entries than a parts file can
  // The parts file could not be opened: the source names no parts (it has
  // no $$PARTS line, or is empty), or the parts name is no plain file name.
  kPartsFileNotOpened,
  kWriteFailed,  // a part of the parts file could not be written
  kNoMemory,     // memory ran out ("Memory Allocate Error")
  // A signal that partsc's own handlers caught ended the compile (in partsc
  // itself, never in a program that does not install them).
  kInterrupted,
};

struct CompileResult {
  CompileEnd status = CompileEnd::kCompiled;
  // Why: the diagnostic that stopped the compile, or the refused option;
  // empty for kCompiled.
  std::string reason;
  // The full path the parts file would be written to; empty when the compile
  // stopped before it was named.
  std::string partsPath;
  // The bytes of the parts file as partsc would write them, and their model;
  // both empty unless the status is kCompiled.
  std::string bytes;
  PartsModel model;
  // Every diagnostic; those about a line of the source in the order of
  // their lines, the others where they were reported.
  std::vector<Diagnostic> diagnostics;
  // The lines partsc's error log would get, "Input File [...]" first.
  std::string errorLog;
  bool Compiled() const { return status == CompileEnd::kCompiled; }
};

// Compiles `text` as the parts source at `path` (which names it in the
// diagnostics and, made a full path, places the parts file; no file is
// read).
PARTSC_API CompileResult CompileText(std::string_view text, const std::string& path,
                                     const CompileOptions& options = {});
// Compiles the parts source file at `path`.
PARTSC_API CompileResult CompileFile(const std::string& path, const CompileOptions& options = {});

// Every problem that keeps `model` from being written as the parts file at
// `path` (whose file name gives the parts name; empty: none is checked),
// each with the JSON Pointer of the field and the rule it breaks: a view
// defined; counts that agree with what is there; sizes in the order of their
// sort mode, named once each; every number in its range; every text fitting
// its field as a source gives it; the member lists laid end to end; and a
// source that gives the file back (man 5 partsc, A GOOD PARTS FILE). A model
// without problems gives a file that partsc --list lists whole and partsc
// --decompile recovers.
PARTSC_API std::vector<ModelProblem> Validate(const PartsModel& model,
                                              const std::string& path = {});

struct EncodeResult {
  std::string bytes;                   // the parts file; empty when refused
  std::vector<ModelProblem> problems;  // every problem Validate found
  bool Encoded() const { return problems.empty(); }
};

// The bytes of the parts file of `model`, as partsc writes them for the same
// records, or, for a model Validate refuses, its problems. Every field is
// written as the model holds it; the member lists go where
// header.commonOffset, each memberOffset and each unlisted offset place them
// (after changing entries, call PlaceMemberLists).
PARTSC_API EncodeResult EncodePartsFile(const PartsModel& model);

struct ReadResult {
  // kOk when the file was read (its model may still say that it is damaged:
  // see model.read), else kNoFile, kOpenFailed, kShort (the system's read
  // fell short) or kNoMemory.
  ReadStatus status = ReadStatus::kOk;
  std::string reason;  // the system's reason; empty for kOk
  PartsModel model;
};

// Reads the parts file at `path` whole and decodes it.
PARTSC_API ReadResult ReadPartsFile(const std::string& path);

enum class WriteStatus {
  kWritten,
  kRefused,       // the model breaks the rule (see problems); nothing was touched
  kNotCreated,    // the file could not be created
  kBackupFailed,  // an older file could not be moved to its backup
  kWriteFailed,   // a write fell short
};

struct WriteResult {
  WriteStatus status = WriteStatus::kWritten;
  std::string reason;                  // the system's reason, or the first problem
  std::vector<ModelProblem> problems;  // kRefused: every problem Validate found
  bool Written() const { return status == WriteStatus::kWritten; }
};

// Writes the parts file of `model` at `path` as partsc writes one: an older
// file of that name is first moved to its backup (the path followed by
// ".old", or ".OLD" when the file name is not in lower case), under the lock
// of the directory that partsc runs share. A model that Validate refuses is
// not written, and no file is touched.
PARTSC_API WriteResult WritePartsFile(const PartsModel& model, const std::string& path);

// How far the listing of a model got: kListed, or the step whose part could
// not be read (the run log's text then ends there).
enum class ListStatus {
  kListed,
  kHeaderUnread,
  kNoFullStop,  // the file name has no full stop before which it names the parts
  kViewsUnread,
  kSizeListUnread,
  kCommonListUnread,
  kSizeMembersUnread,
};

struct Listing {
  ListStatus status = ListStatus::kListed;
  ReadStatus read = ReadStatus::kOk;  // the read result behind a step that failed
  std::string text;                   // the run log's text
  std::string reason;                 // why the file cannot be listed; empty for kListed
};

// The listing partsc writes into its run log for the parts file at `path`
// (the path shows in its first line and gives the parts name) whose model is
// `model`.
PARTSC_API Listing ListModel(const PartsModel& model, const std::string& path);

// The JSON document of `model`, as one line without its line feed: the text
// partsc --list --format=json prints for a parts file, naming `path` as its
// "file" (left out when empty). Its shape is the schema parts-file.schema.json
// (installed in /usr/share/partsc) and man 5 partsc, THE JSON DOCUMENT.
PARTSC_API std::string ModelToJson(const PartsModel& model, const std::string& path = {});

struct JsonResult {
  PartsModel model;
  // Empty when `model` is the document's; else the one value that is not of
  // its field's type and range, by its JSON Pointer ("/sizes/3/members/0/number":
  // "300 is above 256"), or text that is not JSON (pointer "").
  std::vector<ModelProblem> problems;
  bool Read() const { return problems.empty(); }
};

// The model a JSON document describes, as partsc --from-json reads it. A
// model that reads may still break the rule for a good parts file: Validate
// says.
PARTSC_API JsonResult ModelFromJson(std::string_view text);

}  // namespace partsc
