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
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"
#include "platform/ov_util.h"
#include "storage/file_sinks.h"

namespace partsc {

const char* Version() {
  return PARTSC_VERSION_STRING;
}

std::vector<ModelProblem> Validate(const PartsModel& model, const std::string& path) {
  std::vector<ModelProblem> problems = StructuralProblems(model);
  const std::optional<std::string> baseName =
      path.empty() ? std::optional<std::string>("parts") : FileBaseName(path);
  if (!baseName) {
    problems.push_back(
        {"/", "the file name of " + path + " holds no full stop before which it names its parts"});
  }
  if (!problems.empty()) {
    return problems;
  }
  if (std::optional<ModelProblem> problem = RecoveryProblem(model, *baseName)) {
    problems.push_back(std::move(*problem));
  }
  return problems;
}

EncodeResult EncodePartsFile(const PartsModel& model) {
  std::vector<ModelProblem> problems = Validate(model);
  return {problems.empty() ? EncodeModel(model).bytes : std::string(), std::move(problems)};
}

ReadResult ReadPartsFile(const std::string& path) {
  OvFileBytes bytes;
  OvResult<ReadStatus> read = ReadPartsFileBytes(path, bytes);
  PartsModel model = read.Ok() ? DecodePartsFile(bytes.View()) : PartsModel();
  return {read.status, std::move(read.reason), std::move(model)};
}

WriteResult WritePartsFile(const PartsModel& model, const std::string& path) {
  WriteResult result;
  result.problems = Validate(model, path);
  if (!result.problems.empty()) {
    result.status = WriteStatus::kRefused;
    result.reason = result.problems.front().pointer + ": " + result.problems.front().rule;
    return result;
  }
  const std::string bytes = EncodeModel(model).bytes;
  PartsFileSink sink;
  SinkResult done = sink.Open(path);
  if (done.Ok()) {
    done = sink.WriteAt(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  result.status = PublicStatus(done.status);
  result.reason = std::move(done.reason);
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
  return {PublicStatus(listed.step), listed.read, runLog.MemoryText(), Verdict(listed).reason};
}

std::string ModelToJson(const PartsModel& model, const std::string& path) {
  std::string text;
  WritePartsModelJson(
      model, [&text](std::string_view piece) { text += piece; }, path);
  return text;
}

JsonResult ModelFromJson(std::string_view text) {
  const OvJsonParsed<Json> parsed = ParseJsonGuarded<Json>(text, kJsonDocumentLimits);
  if (!parsed.Ok()) {
    return {PartsModel(), {{"", "not JSON: " + parsed.reason}}};
  }
  JsonModel read = PartsModelFromJson(parsed.value);
  if (!read.problem) {
    return {std::move(read.model), {}};
  }
  return {std::move(read.model), {std::move(*read.problem)}};
}

}  // namespace partsc
