#include "decompiler/decompile.h"

#include <memory>
#include <string>
#include <utility>

#include "decompiler/member_blocks.h"
#include "decompiler/recompile_check.h"
#include "decompiler/source_writer.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"

namespace partsc {

namespace {

// Reads the file and lists it nowhere: the listing only tells whether the
// file reads back.
ListResult ReadBack(const std::string& path, Recovery& recovery) {
  OvFileBytes bytes;
  const ListResult read = ReadListedFile(path, bytes);
  if (!read.Listed()) {
    return read;
  }
  recovery.bytes = bytes.View();
  if (bytes.Cut()) {
    return {ListStep::kHeader, ReadStatus::kShort};
  }
  recovery.model = DecodePartsFile(recovery.bytes);
  OvFileIO nowhere;
  OvConsole console(OvConsole::InMemory{});
  Diagnostics diagnostics(console, std::string());
  return ListOpenFile(diagnostics, recovery.model, path, nowhere);
}

// Empty, or why the model's sizes cannot come back in their order.
std::string OrderedSizes(Recovery& recovery) {
  const PartsModel& model = recovery.model;
  if (model.header.sizeCount < 0) {
    return "its size count is negative (" + std::to_string(model.header.sizeCount) + ")";
  }
  for (const PartsSize& size : model.sizes) {
    if (size.membersResult != ReadStatus::kOk) {
      return "the member list of size " + Shown(size.record.name.View()) + " cannot be read";
    }
  }
  std::string problem = OrderBlocks(recovery);
  if (problem.empty()) {
    problem = NameBlocks(recovery);
  }
  if (problem.empty()) {
    problem = CheckSizeOrder(recovery);
  }
  return problem;
}

// The source that gives the file of `recovery` back, or empty with the
// reason and the pointer of the field it is about.
std::string Recover(Recovery& recovery, std::string& reason, std::string& pointer) {
  std::string problem = OrderedSizes(recovery);
  if (!problem.empty()) {
    reason = std::move(problem);
    pointer = "/sizes";
    return {};
  }
  std::string text = WriteSource(recovery, reason, pointer);
  if (text.empty()) {
    return {};
  }
  if (DecompileResult checked = CheckSource(text, recovery); !checked.Ok()) {
    reason = std::move(checked.reason);
    pointer.clear();
    return {};
  }
  return text;
}

}  // namespace

DecompileResult DecompilePartsFile(const std::string& path, std::string& source) {
  source.clear();
  const auto recovery = std::make_unique<Recovery>();
  const ListResult listed = ReadBack(path, *recovery);
  // Size records that share member lists, which the model keeps once: the
  // order of the lists says which.
  if (listed.read == ReadStatus::kSharedList && !recovery->model.read.Whole()) {
    if (std::string reason = OrderBlocks(*recovery); !reason.empty()) {
      return {DecompileStatus::kNotRecoverable, std::move(reason)};
    }
  }
  if (!listed.Listed()) {
    return {DecompileStatus::kUnreadable, UnreadableReason(listed)};
  }
  recovery->baseName = FileBaseName(path).value_or("");
  std::string reason;
  std::string pointer;
  source = Recover(*recovery, reason, pointer);
  if (source.empty()) {
    return {DecompileStatus::kNotRecoverable, std::move(reason)};
  }
  return {};
}

std::optional<ModelProblem> RecoveryProblem(const PartsModel& model, const std::string& baseName) {
  const auto recovery = std::make_unique<Recovery>();
  EncodedModel encoded = EncodeModel(model);
  if (encoded.problem) {
    return encoded.problem;
  }
  recovery->bytes = std::move(encoded.bytes);
  recovery->model = DecodePartsFile(recovery->bytes);
  recovery->baseName = baseName;
  ModelProblem problem;
  if (!Recover(*recovery, problem.rule, problem.pointer).empty()) {
    return std::nullopt;
  }
  if (problem.pointer.empty()) {
    problem.pointer = "/";
  }
  problem.rule = "no source gives it: " + problem.rule;
  return problem;
}

}  // namespace partsc
