#include "decompiler/decompile.h"

#include <memory>
#include <string>
#include <utility>

#include "decompiler/member_blocks.h"
#include "decompiler/recompile_check.h"
#include "decompiler/source_writer.h"
#include "listing/listing.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"

namespace partsc {

namespace {

// Reads the file and answers what its listing would: whether the file
// reads back.
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
  return Listability(recovery.model, path);
}

// kNotRecoverable when the model's sizes cannot come back in their order.
DecompileResult OrderedSizes(Recovery& recovery) {
  const PartsModel& model = recovery.model;
  if (model.header.sizeCount < 0) {
    return NotRecoverable("its size count is negative (" + std::to_string(model.header.sizeCount) +
                          ")");
  }
  for (const PartsSize& size : model.sizes) {
    if (size.membersResult != ReadStatus::kOk) {
      return NotRecoverable("the member list of size " + Shown(size.record.name.View()) +
                            " cannot be read");
    }
  }
  DecompileResult result = OrderBlocks(recovery);
  if (result.Ok()) {
    result = NameBlocks(recovery);
  }
  if (result.Ok()) {
    result = CheckSizeOrder(recovery);
  }
  return result;
}

// The source that gives the file of `recovery` back, or why there is none
// and the pointer of the field it is about.
Decompiled Recover(Recovery& recovery) {
  if (DecompileResult ordered = OrderedSizes(recovery); !ordered.Ok()) {
    return {std::move(ordered), {}, "/sizes"};
  }
  Decompiled written = WriteSource(recovery);
  if (!written.Ok()) {
    return written;
  }
  if (DecompileResult checked = CheckSource(written.source, recovery); !checked.Ok()) {
    return {std::move(checked), {}, {}};
  }
  return written;
}

}  // namespace

Decompiled DecompilePartsFile(const std::string& path) {
  const auto recovery = std::make_unique<Recovery>();
  const ListResult listed = ReadBack(path, *recovery);
  // Size records that share member lists, which the model keeps once: the
  // order of the lists says which.
  if (listed.read == ReadStatus::kSharedList && !recovery->model.read.Whole()) {
    if (DecompileResult ordered = OrderBlocks(*recovery); !ordered.Ok()) {
      return {std::move(ordered), {}, {}};
    }
  }
  if (ListVerdict verdict = Verdict(listed); !verdict.Ok()) {
    return {{DecompileStatus::kUnreadable, std::move(verdict.reason)}, {}, {}};
  }
  recovery->baseName = FileBaseName(path).value_or("");
  return Recover(*recovery);
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
  const Decompiled recovered = Recover(*recovery);
  if (recovered.Ok()) {
    return std::nullopt;
  }
  return ModelProblem{recovered.pointer.empty() ? "/" : recovered.pointer,
                      "no source gives it: " + recovered.reason};
}

}  // namespace partsc
