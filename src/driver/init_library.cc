#include "driver/init_library.h"

#include <string>
#include <string_view>
#include <vector>

#include "compiler/source_pieces.h"
#include "driver/run_context.h"
#include "driver/run_driver.h"
#include "platform/ov_console.h"
#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_settings.h"

namespace partsc {
namespace {

constexpr const char* kSettingsText =
    "; Settings of this parts library, for every run of partsc on it:\n"
    ";   partsc -pORVA.SET -c LIBRARY.CTL\n"
    "; Relative directories are taken from this file's own directory. What the\n"
    "; command line says wins over each key (--no-atomic, --no-strict,\n"
    "; -Wno-error, --no-quiet, --diagnostics-format=classic, --no-sarif).\n"
    "\n"
    "; Where the files of each class are: the control file, the parts\n"
    "; sources, the compiled parts files (with their backups).\n"
    "#PARTS:CTL# = .\n"
    "#PARTS:INP# = src\n"
    "#PARTS:BIN# = parts\n"
    "\n"
    "; The everyday mode. A source that fails keeps the previous parts file\n"
    "; and its backup as they were (--atomic).\n"
    "#PARTS:ATOMIC# = yes\n"
    "; A run in which a source failed, or that compiled nothing, ends with 1\n"
    "; (--strict).\n"
    "#PARTS:STRICT# = yes\n"
    "; Warn about what compiles without a word: a misspelt keyword, a field\n"
    "; left open, a text cut, ... (-Wall; see partsc --explain all) ...\n"
    "#PARTS:WARNINGS# = all\n"
    "; ... and count a source that warned as failed (-Werror).\n"
    "#PARTS:WERROR# = yes\n"
    "; Print no progress lines: a run that went well says nothing (-q).\n"
    "#PARTS:QUIET# = yes\n"
    "; Diagnostics as FILE:LINE:COLUMN lines on standard error, which editors\n"
    "; read (--diagnostics-format=gnu); the error log is written as ever.\n"
    "#PARTS:DIAGNOSTICS# = gnu\n"
    "; A SARIF log of every run for code scanning (--sarif FILE):\n"
    "; #PARTS:SARIF# = partsc.sarif\n";

constexpr const char* kControlHead =
    "/ The control file of this library: one parts source of src/ per line.\n"
    "/ Lines that begin with \"/\" are comments; empty lines are skipped.\n";

bool IsSourceName(std::string_view name) {
  return name.size() > 4 && (name.ends_with(".src") || name.ends_with(".SRC"));
}

// A name a control-file line can hold as it stands: at most 79 characters,
// no control character, no blank or tab at its end (the line end is
// trimmed of them).
bool FitsControlLine(std::string_view name) {
  return name.size() <= kPieceMax && EscapeControls(name) == name && name.back() != ' ' &&
         name.back() != '\t';
}

// What --init does in one directory; `shown` is its path as the user gave it.
struct Init {
  RunContext& run;
  std::string path;   // absolute
  std::string shown;  // "" for ".", else "DIR/"
};

// A line of what --init did, as progress: -q silences it.
void Say(RunContext& run, const std::string& line) {
  dbgprint(run.console, kConsoleProgress, "%s\n", EscapeControls(line).c_str());
}

// A folder or file that was there already and belongs to another user is
// kept, but not taken for the library's own: it is named, and --init fails.
bool KeptOwn(Init& init, const std::string& name) {
  if (!OvFile::BelongsToAnother(init.path + "/" + name)) {
    return true;
  }
  Complain(init.run.console, QuoteName(init.shown + name) +
                                 ": kept, but it belongs to another user: check it, or start "
                                 "the library elsewhere");
  return false;
}

bool MakeFolder(Init& init, const std::string& name) {
  const OvResult<OvMade> made = OvFile::MakeDirectory(init.path + "/" + name);
  if (made.status == OvMade::kFailed) {
    Complain(init.run.console, init.shown + name + ": cannot be made: " + made.reason);
    return false;
  }
  Say(init.run, (made.status == OvMade::kMade ? "made " : "kept ") + init.shown + name + "/");
  return made.status == OvMade::kMade || KeptOwn(init, name);
}

// Writes `text` to the new file `name`; an existing file is kept. False
// after one complaint.
bool WriteNewFile(Init& init, const std::string& name, const std::string& text,
                  const std::string& what) {
  OvFileIO file;
  if (!file.Fopen(init.path + "/" + name, "wx")) {
    if (file.AlreadyExists()) {
      Say(init.run, "kept " + init.shown + name + ": it exists already");
      return KeptOwn(init, name);
    }
    ComplainNotWritten(init.run.console, init.shown + name, file.ErrorText());
    return false;
  }
  file.Fprintf("%s", text.c_str());
  file.Fclose();
  if (!file.ErrorText().empty()) {
    ComplainNotWritten(init.run.console, init.shown + name, file.ErrorText());
    return false;
  }
  Say(init.run, "wrote " + init.shown + name + ": " + what);
  return true;
}

// The sources already in src/ for the control file. A name no control line
// can hold is named on standard error and left out.
std::vector<std::string> SourceNames(Init& init) {
  std::vector<std::string> names;
  for (const std::string& name : OvFile::FileNames(init.path + "/src")) {
    if (!IsSourceName(name)) {
      continue;
    }
    if (!FitsControlLine(name)) {
      Complain(init.run.console, EscapeControls(init.shown + "src/" + name) +
                                     ": left out: a control-file line cannot name it");
      continue;
    }
    names.push_back(name);
  }
  return names;
}

}  // namespace

int InitLibrary(RunContext& run, const std::string& directory) {
  const std::string path = OvFile::Resolve(run.directory, directory);
  const OvResult<OvMade> made = OvFile::MakeDirectory(path);
  if (made.status == OvMade::kFailed) {
    Complain(run.console, directory + ": cannot be made: " + made.reason);
    return kExitFailed;
  }
  const bool here = directory == "." || directory == "./";
  Init init{run, path, here ? std::string() : directory + (directory.ends_with("/") ? "" : "/")};
  if (made.status == OvMade::kMade) {
    Say(run, "made " + init.shown);
  }
  if (!MakeFolder(init, "src") || !MakeFolder(init, "parts")) {
    return kExitFailed;
  }
  const std::vector<std::string> sources = SourceNames(init);
  std::string control = kControlHead;
  for (const std::string& name : sources) {
    control += name + "\n";
  }
  const bool written =
      WriteNewFile(init, kSettingsFileName, kSettingsText,
                   "the settings, with the everyday mode --atomic --strict -Wall -Werror -q "
                   "and GNU diagnostics") &&
      WriteNewFile(init, kInitControlName, control,
                   "the control file, naming the " + std::to_string(sources.size()) +
                       (sources.size() == 1 ? " source" : " sources") + " of src/");
  if (!written) {
    return kExitFailed;
  }
  const std::string change = here ? std::string() : "-C " + directory + " ";
  Say(run, "Next: put the parts sources into " + init.shown + "src/, name each in " + init.shown +
               kInitControlName + ", and run");
  Say(run, "  partsc " + change + "-p" + kSettingsFileName + " -c " + kInitControlName);
  return kExitOk;
}

}  // namespace partsc
