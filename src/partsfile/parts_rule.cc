// The rule for a good parts file, on its model.
#include "partsfile/parts_rule.h"

#include <array>
#include <cstdint>
#include <map>
#include <string_view>
#include <tuple>

#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_escape.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

constexpr std::array<const char*, 3> kSortWords = {"0 (by length, then by bytes)", "1 (by bytes)",
                                                   "2 (as written)"};

std::string Quoted(std::string_view text) {
  return "\"" + EscapeControls(text) + "\"";
}

// The problems found so far, each with its place.
using Problems = std::vector<ModelProblem>;

void CheckViews(const PartsModel& model, Problems& problems) {
  if (TextsGiven(model.apgNames) == 0) {
    problems.push_back({"/views", "no view has an APG name: a parts file needs one"});
  }
  for (size_t i = 0; i < model.apgNames.size(); ++i) {
    const std::string at = "/views/" + std::to_string(i);
    if (model.apgNames[i].Empty() && !model.apgComments[i].Empty()) {
      problems.push_back({at + "/comment", "a view without an APG name has no comment"});
    }
    for (size_t other = 0; other < i && !model.apgNames[i].Empty(); ++other) {
      if (model.apgNames[other] == model.apgNames[i]) {
        problems.push_back({at + "/name", Quoted(model.apgNames[i].View()) +
                                              " is the APG name of /views/" +
                                              std::to_string(other) + " too"});
      }
    }
  }
  if (const int comments = TextsGiven(model.apgComments);
      model.header.apgCommentCount != comments) {
    problems.push_back({"/header/apg_comment_count",
                        "is " + std::to_string(model.header.apgCommentCount) +
                            ", but the views hold " + std::to_string(comments) + " comments"});
  }
}

void CheckHeader(const PartsModel& model, Problems& problems) {
  const PartsHeader& header = model.header;
  if (!model.read.Whole()) {
    problems.push_back({"/read", "the file it was read from was not read whole"});
  }
  if (header.version != kPartsVersion) {
    problems.push_back({"/header/version", "is " + std::to_string(header.version) + ", not " +
                                               std::to_string(kPartsVersion)});
  }
  if (header.sortMode < 0 || header.sortMode > kSortAsWritten) {
    problems.push_back(
        {"/header/sort_mode", "is " + std::to_string(header.sortMode) + ", not 0, 1 or 2"});
  }
  if (model.sizes.size() > static_cast<size_t>(kMaxSizes)) {
    problems.push_back({"/sizes", std::to_string(model.sizes.size()) + " sizes, above " +
                                      std::to_string(kMaxSizes)});
  } else if (header.sizeCount < 0 || static_cast<size_t>(header.sizeCount) != model.sizes.size()) {
    problems.push_back({"/header/size_count", "is " + std::to_string(header.sizeCount) +
                                                  ", but there are " +
                                                  std::to_string(model.sizes.size()) + " sizes"});
  }
  if (model.common.has_value() != (header.commonOffset != 0)) {
    problems.push_back({"/header/common_offset", model.common
                                                     ? "is 0, but there is a common member list"
                                                     : "is " + std::to_string(header.commonOffset) +
                                                           ", but there is no common member list"});
  }
}

void CheckSizes(const PartsModel& model, Problems& problems) {
  const int sortMode = model.header.sortMode;
  std::map<std::string_view, size_t> first;
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    const SizeRecord& record = model.sizes[i].record;
    const std::string at = "/sizes/" + std::to_string(i);
    if (record.name.Empty()) {
      problems.push_back({at + "/name", "is empty"});
      continue;
    }
    const auto [seen, added] = first.emplace(record.name.View(), i);
    if (!added) {
      problems.push_back({at + "/name", Quoted(record.name.View()) + " is the name of /sizes/" +
                                            std::to_string(seen->second) + " too"});
      continue;
    }
    const SizeRecord* before = i > 0 ? &model.sizes[i - 1].record : nullptr;
    if (before != nullptr && sortMode >= 0 && sortMode < kSortAsWritten &&
        CompareSizeNames(sortMode, before->name.View(), record.name.View()) > 0) {
      problems.push_back({at + "/name", "out of order: sort mode " +
                                            std::string(kSortWords[static_cast<size_t>(sortMode)]) +
                                            " puts " + Quoted(record.name.View()) + " before " +
                                            Quoted(before->name.View()) + " (/sizes/" +
                                            std::to_string(i - 1) + ")"});
    }
  }
}

void CheckText(Problems& problems, const std::string& at, std::string_view text, size_t low,
               size_t high) {
  if (text.size() < low) {
    problems.push_back({at, "is empty"});
  } else if (text.size() > high) {
    problems.push_back({at, std::to_string(text.size()) + " bytes, above " + std::to_string(high)});
  }
}

void CheckRange(Problems& problems, const std::string& at, int value, int low, int high) {
  if (value < low) {
    problems.push_back({at, std::to_string(value) + " is below " + std::to_string(low)});
  } else if (value > high) {
    problems.push_back({at, std::to_string(value) + " is above " + std::to_string(high)});
  }
}

void CheckEntries(const MemberList& list, const std::string& where, Problems& problems) {
  for (size_t i = 0; i < list.specs.size(); ++i) {
    const SpecEntry& spec = list.specs[i];
    const std::string at = where + "/" + std::to_string(i);
    CheckRange(problems, at + "/number", spec.number, 1, 256);
    CheckRange(problems, at + "/inverted", spec.invertedFlag, 0, 1);
    CheckRange(problems, at + "/record", spec.record, 0, 256);
    CheckText(problems, at + "/name", spec.name, 1, kSpecNameLimit);
  }
  for (size_t i = 0; i < list.params.size(); ++i) {
    const ParamEntry& param = list.params[i];
    const std::string at = where + "/" + std::to_string(list.specs.size() + i);
    CheckText(problems, at + "/name", param.name, 1, kParamNameMax);
    const int code = param.pairCode;
    if (!IsAllowedPairCode(code)) {
      problems.push_back(
          {at + "/pair_code", "is " + std::to_string(code) + ", not 0, 1, 10 or 11"});
    } else if (code % 10 != 1 && param.text.empty()) {
      problems.push_back(
          {at + "/text", "is empty, but pair code " + std::to_string(code) + " needs one"});
    }
    CheckText(problems, at + "/text", param.text, 0, kParamTextLimit);
    CheckText(problems, at + "/comment", param.comment, 0, kParamCommentLimit);
  }
}

// A list's entries with those of the common list fit the reader's tables.
void CheckCapacity(const MemberList& list, const MemberList* common, const std::string& where,
                   Problems& problems) {
  const size_t specs = list.specs.size() + (common != nullptr ? common->specs.size() : 0);
  const size_t params = list.params.size() + (common != nullptr ? common->params.size() : 0);
  const char* with = common != nullptr ? " with those of the common list" : "";
  for (const auto& [count, most, kind] : {std::tuple{specs, kMaxSpecEntries, " spec entries"},
                                          std::tuple{params, kMaxParamEntries, " param entries"}}) {
    if (count > static_cast<size_t>(most)) {
      problems.push_back(
          {where, std::to_string(count) + kind + with + ", above " + std::to_string(most)});
    }
  }
}

void CheckLists(const PartsModel& model, Problems& problems) {
  const MemberList* common = model.common ? &*model.common : nullptr;
  if (common != nullptr) {
    CheckEntries(*common, "/common/members", problems);
    CheckCapacity(*common, nullptr, "/common/members", problems);
  }
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    const PartsSize& size = model.sizes[i];
    const std::string at = "/sizes/" + std::to_string(i);
    if (size.membersResult != ReadStatus::kOk) {
      problems.push_back({at + "/read", "its member list was not read whole"});
    }
    CheckEntries(size.members, at + "/members", problems);
    CheckCapacity(size.members, common, at + "/members", problems);
    if (size.record.memberOffset == 0) {
      problems.push_back({at + "/member_offset", "is 0: the size has no member list"});
    }
  }
  for (size_t i = 0; i < model.unlisted.size(); ++i) {
    CheckEntries(model.unlisted[i].members, "/unlisted/" + std::to_string(i) + "/members",
                 problems);
  }
  if (std::optional<ModelProblem> layout = ListLayoutProblem(model)) {
    problems.push_back(std::move(*layout));
  }
}

}  // namespace

std::vector<ModelProblem> StructuralProblems(const PartsModel& model) {
  Problems problems;
  CheckHeader(model, problems);
  CheckViews(model, problems);
  CheckSizes(model, problems);
  CheckLists(model, problems);
  return problems;
}

}  // namespace partsc
