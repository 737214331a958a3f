#include "driver/file_actions.h"

#include <algorithm>
#include <array>
#include <optional>

#include <partsc/partsc.h>

#include "decompiler/decompile.h"
#include "driver/run_context.h"
#include "driver/run_driver.h"
#include "listing/listing.h"
#include "listing/parts_diff.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_json.h"
#include "platform/ov_console.h"
#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_json.h"
#include "platform/ov_signals.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

// What the actions on parts files find wrong with a file: it could not be
// read, has no JSON document, fails a step of its listing (its opening
// among them), or is a source that does not compile. The reason says it in
// the words of the complaint.
enum class FileFault { kNone, kNotRead, kNoDocument, kUnlistable, kNoCompile };
using FileResult = OvResult<FileFault>;

// A file whose read ended in `status`.
FileResult ReadResult(ReadStatus status) {
  switch (status) {
    case ReadStatus::kOk:
      return {};
    case ReadStatus::kNoFile:
      return {FileFault::kNotRead, "no such file"};
    case ReadStatus::kNoMemory:
      return {FileFault::kNotRead, "out of memory"};
    case ReadStatus::kShort:
      return {FileFault::kNotRead, "the read fell short"};
    default:
      return {FileFault::kNotRead, "cannot be opened"};
  }
}

// A file whose listing failed, or would fail, as `listed` says.
FileResult ListingResult(const ListResult& listed) {
  ListVerdict verdict = Verdict(listed);
  return verdict.Ok() ? FileResult()
                      : FileResult{FileFault::kUnlistable, std::move(verdict.reason)};
}

// The model of `bytes`, decoded: a read that fell short, or a listing that
// would fail.
FileResult ModelResult(const PartsModel& model, const OvFileBytes& bytes) {
  return bytes.Cut() ? ReadResult(ReadStatus::kShort) : ListingResult(Listability(model));
}

// Reads a named file's bytes.
FileResult ReadBytes(const RunContext& run, const std::string& file, OvFileBytes& bytes) {
  return ReadResult(ReadPartsFileBytes(OvFile::Resolve(run.directory, file), bytes).status);
}

// The JSON document of a file, on one line, naming the file as given; a
// file that could not be read whole still has its document, with where and
// why reading stopped, and one that has none (it could not be read at all,
// or its size records share member lists) a line that says why.
FileResult ListAsJson(RunContext& run, const std::string& file) {
  OvFileIO& out = run.console.Out();
  OvFileBytes bytes;
  FileResult result = ReadBytes(run, file, bytes);
  const PartsModel model = result.Ok() ? DecodePartsFrame(bytes.View()) : PartsModel();
  // A document gives each size's list whole: records that share one
  // would make it grow with the records rather than with the file.
  const auto shared = [](const PartsSize& size) {
    return size.membersResult == ReadStatus::kSharedList;
  };
  if (result.Ok() && std::any_of(model.sizes.begin(), model.sizes.end(), shared)) {
    result = {FileFault::kNoDocument, "damaged: size records share member lists (no document)"};
  }
  if (!result.Ok()) {
    out.FwriteData(UnreadFileJson(file, result.reason) + "\n");
    return result;
  }
  WritePartsFileJson(
      model, bytes.View(), [&out](std::string_view piece) { out.FwriteData(piece); }, file);
  out.FwriteData("\n");
  out.Fflush();
  return ModelResult(model, bytes);
}

// The lines --diff compares of a file: a stable text, without the file's
// path and its creation date.
FileResult ListAsLines(RunContext& run, const std::string& file) {
  OvFileBytes bytes;
  if (FileResult read = ReadBytes(run, file, bytes); !read.Ok()) {
    return read;
  }
  const PartsModel model = DecodePartsFile(bytes.View());
  if (bytes.Cut()) {
    return ReadResult(ReadStatus::kShort);
  }
  const Latin1Bytes latin1 = OvUtil::Utf8Locale() ? Latin1Bytes::kUtf8 : Latin1Bytes::kEscaped;
  run.console.Out().Fwrite(ModelLines(model, latin1));
  run.console.Out().Fflush();
  return ListingResult(Listability(model));
}

// Writes `bytes` to `output`, which must not exist yet unless --force was
// given. kExitOk, or kExitFailed after one complaint.
int WriteOutput(RunContext& run, const std::string& output, std::string_view bytes) {
  const std::string path = OvFile::Resolve(run.directory, output);
  OvFileIO out;
  // --force writes over a file of the user's own, or into a device or FIFO,
  // in place; never through a link or into a file another user planted.
  if (!out.Fopen(path, run.options.Given(OptionId::kForce) ? "w" : "wx")) {
    if (out.AlreadyExists()) {
      Complain(run.console, QuoteName(output) + ": already exists; give --force to overwrite it");
    } else {
      ComplainNotWritten(run.console, QuoteName(output), out.ErrorText());
    }
    return kExitFailed;
  }
  out.Fwrite(bytes);
  out.Fclose();
  if (out.Error() == 0) {
    return kExitOk;
  }
  ComplainNotWritten(run.console, QuoteName(output), out.ErrorText());
  // Only a file this run made goes again: never a device, a link's target
  // or a file that was there before.
  if (out.Created()) {
    OvFile::Remove(path);
  }
  return kExitFailed;
}

// A refusal as a message quotes it: a long one keeps its start (where) and
// its end (the rule), each cut short and escaped.
std::string Shortened(const std::string& text) {
  constexpr size_t kHead = 160;
  constexpr size_t kTail = 80;
  if (text.size() <= kHead + kTail) {
    return EscapeControls(text);
  }
  std::string tail = text.substr(text.size() - kTail);
  while (!tail.empty() && (static_cast<unsigned char>(tail.front()) & 0xC0) == 0x80) {
    tail.erase(0, 1);
  }
  return Excerpt(text, kHead) + " (" + std::to_string(text.size()) + " bytes in all) " +
         EscapeControls(tail);
}

// The bytes of the parts file the JSON document at `file` describes, to be
// written at `output`; none after a complaint about each field that breaks
// the rule for a good parts file.
std::optional<std::string> PartsBytesFromJson(RunContext& run, const std::string& file,
                                              const std::string& output) {
  const std::string shown = QuoteName(file);
  OvWholeFile read;
  if (file == "-") {
    // Standard input, read to its end, at most as much as of a file.
    for (std::string piece; read.Ok() && run.console.In().Fgets(piece, 1 << 16);) {
      read.bytes += piece;
      if (read.bytes.size() > kJsonDocumentLimits.maxBytes) {
        read.status = OvTextRead::kTooLarge;
      }
    }
  } else {
    read = OvFileIO::ReadWholeFile(OvFile::Resolve(run.directory, file),
                                   kJsonDocumentLimits.maxBytes, true);
  }
  if (!read.Ok()) {
    Complain(run.console, shown + (read.status == OvTextRead::kNoMemory ? ": out of memory"
                                   : read.status == OvTextRead::kTooLarge
                                       ? ": cannot be read: larger than 256 MiB, the most partsc "
                                         "reads of a JSON document"
                                       : ": cannot be read: " + read.reason));
    return std::nullopt;
  }
  const OvJsonParsed<Json> parsed = ParseJsonGuarded<Json>(read.bytes, kJsonDocumentLimits);
  read.bytes = std::string();
  if (!parsed.Ok()) {
    Complain(run.console,
             shown + (parsed.status == OvJsonResult::kNoMemory ? std::string(": out of memory")
                                                               : ": not JSON: " + parsed.reason));
    return std::nullopt;
  }
  const JsonModel described = PartsModelFromJson(parsed.value);
  const std::vector<ModelProblem> problems =
      described.problem ? std::vector{*described.problem} : Validate(described.model, output);
  for (const ModelProblem& problem : problems) {
    Complain(run.console, shown + ": " + Shortened(problem.pointer + ": " + problem.rule));
  }
  if (!problems.empty()) {
    return std::nullopt;
  }
  return EncodeModel(described.model).bytes;
}

// The first bytes of every parts file: the version 102, low byte first.
bool LooksLikePartsFile(std::string_view bytes) {
  return bytes.size() >= 2 && bytes[0] == 'f' && bytes[1] == '\0';
}

// The first error a compile reported, for a source that did not compile.
std::string CompileFailure(const CompileResult& compiled) {
  for (const Diagnostic& diagnostic : compiled.diagnostics) {
    if (diagnostic.severity == Severity::kError) {
      return diagnostic.message +
             (diagnostic.line > 0 ? " (line " + std::to_string(diagnostic.line) + ")" : "");
    }
  }
  return compiled.reason;
}

// The model of `file`: a parts file read whole, or a parts source compiled
// in memory; none after one complaint.
std::optional<PartsModel> LoadModel(RunContext& run, const std::string& file) {
  PartsModel model;
  OvFileBytes bytes;
  FileResult result = ReadBytes(run, file, bytes);
  if (result.Ok() && LooksLikePartsFile(bytes.View())) {
    model = DecodePartsFile(bytes.View());
    result = ModelResult(model, bytes);
  } else if (result.Ok()) {
    CompileResult compiled = CompileText(bytes.View(), OvFile::Resolve(run.directory, file));
    model = std::move(compiled.model);
    if (!compiled.Compiled()) {
      result = {FileFault::kNoCompile, "does not compile: " + CompileFailure(compiled)};
    }
  }
  if (!result.Ok()) {
    Complain(run.console, QuoteName(file) + ": " + result.reason);
    return std::nullopt;
  }
  return model;
}

// The two sides of a diff, old and new: the files and the names the output
// gives them.
struct DiffSides {
  std::array<std::string, 2> files;
  std::array<std::string, 2> labels;
};

// OLD NEW, or the arguments git gives an external diff: PATH OLD-FILE
// OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE, and for a renamed file NEW-PATH
// and a message. Git's sides are named a/PATH and b/PATH (or b/NEW-PATH),
// and /dev/null for a side that is not there; --label names them instead.
DiffSides SidesOf(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& labels) {
  DiffSides sides{{arguments[0], arguments[1]}, {arguments[0], arguments[1]}};
  if (arguments.size() >= 7) {
    const std::string& newPath = arguments.size() == 9 ? arguments[7] : arguments[0];
    sides = {{arguments[1], arguments[4]}, {"a/" + arguments[0], "b/" + newPath}};
  }
  for (size_t i = 0; i < 2; ++i) {
    if (sides.files[i] == "/dev/null") {
      sides.labels[i] = sides.files[i];
    }
    if (i < labels.size()) {
      sides.labels[i] = labels[i];
    }
  }
  return sides;
}

// What changed from the parts file at `older` to the one at `path`, whose
// bytes the listing holds in `written`; a file that cannot be read back is
// named with why, since its model would tell of changes that were never made.
std::string ChangesSince(const RunContext& run, const std::string& older, const std::string& path,
                         const OvFileBytes& written) {
  OvFileBytes bytes;
  const ReadStatus read = ReadPartsFileBytes(older, bytes).status;
  const std::array<std::pair<const std::string*, ReadStatus>, 2> reads = {
      {{&older, bytes.Cut() ? ReadStatus::kShort : read},
       {&path, written.Cut() ? ReadStatus::kShort : ReadStatus::kOk}}};
  for (const auto& [file, status] : reads) {
    if (FileResult result = ReadResult(status); !result.Ok()) {
      return "changes unknown: " + QuoteName(OvFile::RelativeTo(run.directory, *file)) + ": " +
             result.reason;
    }
  }
  return ChangeSummary(DiffModels(DecodePartsFile(bytes.View()), DecodePartsFile(written.View())));
}

}  // namespace

int ListFiles(RunContext& run, const std::vector<std::string>& files) {
  const OutputFormat format = run.options.format;
  OvFileIO& out = run.console.Out();
  // The run log keeps the file's bytes; the listing on standard output
  // shows a line break inside a name or text escaped, so that no line can
  // be forged.
  out.SetEscapeLineBreaks(format == OutputFormat::kText);
  OvFileBytes bytes;
  int status = kExitOk;
  for (const std::string& file : files) {
    if (OvSignals::Caught() != 0) {
      break;  // the run reports the signal
    }
    FileResult result;
    if (format == OutputFormat::kJson) {
      result = ListAsJson(run, file);
    } else if (format == OutputFormat::kLines) {
      result = ListAsLines(run, file);
    } else {
      const std::string path = OvFile::Resolve(run.directory, file);
      result = ListingResult(ListPartsFile(run.diagnostics, file, out, path, bytes));
      out.Fflush();
    }
    if (!result.Ok()) {
      Complain(run.console, QuoteName(file) + ": " + result.reason);
      status = kExitFailed;
    }
  }
  return status;
}

int Decompile(RunContext& run, const std::string& file, const std::string& output) {
  const Decompiled result = DecompilePartsFile(OvFile::Resolve(run.directory, file));
  if (OvSignals::Caught() != 0) {
    return kExitFailed;  // nothing is written; the run reports the signal
  }
  if (!result.Ok()) {
    const bool lost = result.status == DecompileStatus::kNotRecoverable;
    Complain(run.console, QuoteName(file) + (lost ? ": not recoverable: " : ": ") + result.reason);
    return kExitFailed;
  }
  if (!output.empty()) {
    return WriteOutput(run, output, result.source);
  }
  // Standard output is checked when the action ends.
  run.console.Out().Fwrite(result.source);
  return kExitOk;
}

int FromJson(RunContext& run, const std::string& file, const std::string& output) {
  const std::optional<std::string> bytes = PartsBytesFromJson(run, file, output);
  return bytes ? WriteOutput(run, output, *bytes) : kExitFailed;
}

int Diff(RunContext& run, const std::vector<std::string>& arguments) {
  const DiffSides sides = SidesOf(arguments, run.options.labels);
  std::array<std::optional<PartsModel>, 2> models;
  for (size_t i = 0; i < 2; ++i) {
    // Git's /dev/null, a side that is not there, has no model.
    if (sides.files[i] != "/dev/null") {
      models[i] = LoadModel(run, sides.files[i]);
      if (!models[i]) {
        return kExitDiffTrouble;
      }
    }
  }
  const std::vector<Change> changes =
      ChangesBetween(models[0] ? &*models[0] : nullptr, models[1] ? &*models[1] : nullptr);
  OvFileIO& out = run.console.Out();
  const auto& [oldLabel, newLabel] = sides.labels;
  if (run.options.format == OutputFormat::kJson) {
    out.FwriteData(DiffJson(changes, oldLabel, newLabel) + "\n");
  } else {
    const Latin1Bytes latin1 = OvUtil::Utf8Locale() ? Latin1Bytes::kUtf8 : Latin1Bytes::kEscaped;
    out.Fwrite(DiffText(changes, oldLabel, newLabel, latin1));
  }
  // Git stops at an external diff that ends with anything but 0.
  const bool forGit = arguments.size() > 2;
  return changes.empty() || forGit ? kExitOk : kExitFailed;
}

void PrintChanges(RunContext& run, const std::string& path, const OvFileBytes& written,
                  const std::string& older) {
  const std::string summary = older.empty() ? "new file" : ChangesSince(run, older, path, written);
  run.console.Out().Fwrite(OvFile::RelativeTo(run.directory, path) + ": " + summary + "\n");
}

}  // namespace partsc
