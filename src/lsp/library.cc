#include "lsp/library.h"

#include "api/statuses.h"
#include "diagnostics/sinks.h"
#include "platform/ov_file.h"

namespace partsc::lsp {
namespace {

// Keeps each record of a run as a finding about its file.
class FindingSink : public DiagnosticSink {
 public:
  FindingSink(const std::string& directory, LibraryFindings& findings)
      : directory_(directory), findings_(findings) {}

  void Emit(const DiagnosticRecord& given) override {
    const DiagnosticRecord record = AtSource(given, directory_);
    if (record.file.empty()) {
      return;
    }
    const Diagnostic finding = Kept(PublicDiagnostic(record));
    Diagnostic unplaced = finding;
    unplaced.line = 0;
    unplaced.column = 0;
    // A record about a source as the control file names it (its parts file
    // written again) shows on the control-file line and on the source's
    // first line, unless the source could not be read.
    if (!record.aboutOutput && !record.source.empty() && record.file != record.source &&
        record.id != DiagnosticId::kInputFileOpenError) {
      findings_.byPath[OvFile::Resolve(directory_, record.source)].push_back(unplaced);
    }
    // A record about a parts file names no line of its source.
    findings_.byPath[OvFile::Resolve(directory_, record.file)].push_back(
        record.aboutOutput ? unplaced : finding);
  }

 private:
  const std::string& directory_;
  LibraryFindings& findings_;
};

}  // namespace

void CheckLibrary(const LibraryCheckFunction& check, const LibraryRun& run,
                  LibraryFindings& findings) {
  FindingSink sink(run.directory, findings);
  std::vector<std::string> inputs;
  check(run, sink, inputs);
  for (const std::string& input : inputs) {
    findings.inputs.push_back(OvFile::Resolve(run.directory, input));
  }
}

bool IsControlFile(const std::string& path) {
  return path.size() > 4 && (path.ends_with(".CTL") || path.ends_with(".ctl"));
}

std::vector<std::string> ControlFilesIn(const std::string& directory) {
  // The regular files of the directory, sorted: their full paths sort alike.
  std::vector<std::string> found;
  for (const std::string& name : OvFile::FileNames(directory)) {
    if (IsControlFile(name)) {
      found.push_back(OvFile::Resolve(directory, name));
    }
  }
  return found;
}

}  // namespace partsc::lsp
