// The library's parts files: read into a model, checked, written from one,
// listed, and given as a JSON document and read back from one.
#include <partsc/partsc.h>

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/statuses.h"
#include "decompiler/decompile.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_json.h"
#include "partsfile/parts_rule.h"
#include "partsfile/result_codes.h"
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"
#include "platform/ov_util.h"

namespace partsc {

const char* Version() {
  return PARTSC_VERSION_STRING;
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

EncodeResult EncodePartsFile(const PartsModel& model) {
  EncodeResult result;
  result.problems = Validate(model);
  if (result.problems.empty()) {
    EncodePartsFile(model, result.bytes);
  }
  return result;
}

ReadResult ReadPartsFile(const std::string& path) {
  ReadResult result;
  OvFileBytes bytes;
  const int code = ReadPartsFileBytes(path, bytes);
  result.status = AsReadStatus(code);
  if (code == kPartsOk) {
    result.model = DecodePartsFile(bytes.View());
  } else if (code != kNoMemory) {
    result.reason = LastSystemError();
  }
  return result;
}

WriteResult WritePartsFile(const PartsModel& model, const std::string& path) {
  WriteResult result;
  result.problems = Validate(model, path);
  if (!result.problems.empty()) {
    result.status = WriteStatus::kRefused;
    result.reason = result.problems.front().pointer + ": " + result.problems.front().rule;
    return result;
  }
  std::string bytes;
  EncodePartsFile(model, bytes);
  PartsFileSink sink;
  int code = sink.Open(path);
  if (code != kPartsOk) {
    result.reason = LastSystemError();
  } else if (!sink.WriteAt(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) {
    code = kPartsShortWrite;
    result.reason = sink.WriteError();
  }
  result.status = WriteStatusOf(code);
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
  listing.status = ListStatusOf(listed.code);
  listing.read = AsReadStatus(listed.readResult);
  listing.text = runLog.MemoryText();
  if (listed.code != 0) {
    listing.reason = UnreadableReason(listed);
  }
  return listing;
}

std::string ModelToJson(const PartsModel& model, const std::string& path) {
  std::string text;
  WritePartsModelJson(
      model, [&text](std::string_view piece) { text += piece; }, path);
  return text;
}

JsonResult ModelFromJson(std::string_view text) {
  JsonResult result;
  Json document;
  std::string error;
  ModelProblem problem;
  if (!ParseJson(text, document, error)) {
    result.problems.push_back({"", "not JSON: " + error});
  } else if (!PartsModelFromJson(document, result.model, problem)) {
    result.problems.push_back(std::move(problem));
  }
  return result;
}

}  // namespace partsc
