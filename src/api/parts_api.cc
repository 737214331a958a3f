// The library's parts files: read into a model, written from one, listed.
#include <partsc/partsc.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "decompiler/decompile.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_rule.h"
#include "partsfile/result_codes.h"
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"
#include "platform/ov_util.h"

namespace partsc::api {

PartsModel DecodePartsFile(std::string_view bytes) {
  return ::partsc::DecodePartsFile(bytes);
}

std::vector<ModelProblem> Validate(const PartsModel& model, const std::string& path) {
  std::vector<ModelProblem> problems = StructuralProblems(model);
  std::string baseName = "parts";
  if (!path.empty() && FileBaseName(path, baseName) != 0) {
    problems.push_back({"/", "the file name of " + path +
                                 " holds no full stop before which it names its parts"});
  }
  if (!problems.empty()) {
    return problems;
  }
  if (std::optional<ModelProblem> problem = RecoveryProblem(model, baseName)) {
    problems.push_back(std::move(*problem));
  }
  return problems;
}

std::string EncodePartsFile(const PartsModel& model) {
  const std::vector<ModelProblem> problems = Validate(model);
  std::string bytes;
  if (!problems.empty() || !::partsc::EncodePartsFile(model, bytes)) {
    const ModelProblem& first = problems.front();
    throw std::invalid_argument(first.pointer + ": " + first.rule);
  }
  return bytes;
}

void PlaceMemberLists(PartsModel& model) {
  ::partsc::PlaceMemberLists(model);
}

ReadResult ReadPartsFile(const std::string& path) {
  ReadResult result;
  PartsFileBytes bytes;
  result.code = ReadPartsFileBytes(path, bytes);
  if (result.code == kPartsOk) {
    result.model = ::partsc::DecodePartsFile(bytes.View());
  }
  return result;
}

WriteResult WritePartsFile(const PartsModel& model, const std::string& path) {
  WriteResult result;
  result.problems = Validate(model, path);
  if (!result.problems.empty()) {
    result.code = kPartsModelRefused;
    result.reason = result.problems.front().pointer + ": " + result.problems.front().rule;
    return result;
  }
  std::string bytes;
  ::partsc::EncodePartsFile(model, bytes);
  PartsFileSink sink;
  result.code = sink.Open(path);
  if (result.code != kPartsOk) {
    result.reason = LastSystemError();
  } else if (!sink.WriteAt(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
    result.code = kPartsShortWrite;
    result.reason = sink.WriteError();
  }
  sink.Release();
  return result;
}

Listing ListModel(const PartsModel& model, const std::string& path) {
  OvConsole console(OvConsole::InMemory{});
  console.SetQuiet(true);
  Diagnostics diagnostics(console, std::string());
  OvFileIO runLog;
  runLog.FopenMemory();
  const ListResult listed = ListOpenFile(diagnostics, model, path, runLog);
  runLog.Fclose();
  Listing listing;
  listing.code = listed.code;
  listing.readResult = listed.readResult;
  listing.text = runLog.MemoryText();
  if (listed.code != 0) {
    listing.reason = UnreadableReason(listed);
  }
  return listing;
}

}  // namespace partsc::api
