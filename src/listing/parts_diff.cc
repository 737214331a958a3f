#include "listing/parts_diff.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "diagnostics/keywords.h"
#include "listing/listing.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

std::vector<std::string> Lines(std::string line) {
  std::vector<std::string> lines;
  lines.push_back(std::move(line));
  return lines;
}

void Add(std::vector<Change>& changes, Change change) {
  if (change.oldValue == change.newValue) {
    return;
  }
  change.kind = change.oldValue.is_null()   ? ChangeKind::kAdded
                : change.newValue.is_null() ? ChangeKind::kRemoved
                                            : ChangeKind::kChanged;
  changes.push_back(std::move(change));
}

// One header field: its line and its value, on one side.
struct Field {
  std::string line;
  Json value;
};

// The fields `keys` of a value of the document, in that order.
Json Pick(const Json& from, std::initializer_list<const char*> keys) {
  Json value = Json::object();
  for (const char* key : keys) {
    value[key] = from.at(key);
  }
  return value;
}

Field PartsField(const PartsHeader& header) {
  std::string line = "$$PARTS\t<" + std::to_string(header.partsValue1) + "," +
                     std::to_string(header.partsValue2) + ">";
  if (!header.comment.Empty()) {
    line += "\t\"" + header.comment.Str() + "\"";
  }
  return {line, Pick(HeaderJson(header), {"parts_value_1", "parts_value_2", "comment"})};
}

Field SpecField(const PartsHeader& header) {
  return {
      "$$SPEC <" + std::to_string(header.specFile) + "," + std::to_string(header.specRecord) + ">",
      Pick(HeaderJson(header), {"spec_file", "spec_record"})};
}

Field TitleField(const PartsHeader& header) {
  return {"$$TITLE\t\"" + header.title.Str() + "\"", HeaderJson(header).at("title")};
}

Field SortField(const PartsHeader& header) {
  const std::string keyword(SortKeyword(header.sortMode));
  return {keyword, HeaderJson(header).at("sort_mode")};
}

Field VersionField(const PartsHeader& header) {
  return {"/ PARTS VERSION   : " + std::to_string(header.version),
          HeaderJson(header).at("version")};
}

void DiffHeader(const PartsHeader& from, const PartsHeader& to, std::vector<Change>& changes) {
  using FieldOf = Field (*)(const PartsHeader&);
  const std::array<std::pair<const char*, FieldOf>, 5> fields = {{{"version", VersionField},
                                                                  {"$$PARTS", PartsField},
                                                                  {"$$SPEC", SpecField},
                                                                  {"$$TITLE", TitleField},
                                                                  {"sort", SortField}}};
  for (const auto& [key, fieldOf] : fields) {
    Field before = fieldOf(from);
    Field after = fieldOf(to);
    Add(changes, {ChangeKind::kChanged, "$$PARTS", "", key, Lines(std::move(before.line)),
                  Lines(std::move(after.line)), std::move(before.value), std::move(after.value)});
  }
}

// A view on one side: no line and a null value when it is not defined.
Field ViewField(const PartsModel& model, size_t view) {
  if (model.apgNames[view].Empty()) {
    return {};
  }
  std::string line = std::string(kViewKeywords[view]) + "\t!" + model.apgNames[view].Str() + "!";
  if (!model.apgComments[view].Empty()) {
    line += "\t" + model.apgComments[view].Str();
  }
  return {line, Pick(ViewJson(model, view), {"name", "comment"})};
}

std::vector<std::string> LinesOf(Field field) {
  return field.value.is_null() ? std::vector<std::string>() : Lines(std::move(field.line));
}

void DiffViews(const PartsModel& from, const PartsModel& to, std::vector<Change>& changes) {
  for (size_t view = 0; view < kViewKeywords.size(); ++view) {
    Field before = ViewField(from, view);
    Field after = ViewField(to, view);
    Add(changes,
        {ChangeKind::kChanged, "$$APG", "", std::string(kViewKeywords[view]), LinesOf(before),
         LinesOf(after), std::move(before.value), std::move(after.value)});
  }
}

// Things known by a name, the n-th of a name on one side paired with the n-th
// on the other: the index of each item of `to` paired with item i of `from`,
// or -1.
template <typename Item, typename NameOf>
std::vector<int> Pair(const std::vector<Item>& from, const std::vector<Item>& to, NameOf nameOf) {
  std::map<std::string, std::vector<int>> waiting;
  for (size_t i = to.size(); i-- > 0;) {
    waiting[nameOf(to[i])].push_back(static_cast<int>(i));
  }
  std::vector<int> pairs;
  for (const Item& item : from) {
    std::vector<int>& names = waiting[nameOf(item)];
    pairs.push_back(names.empty() ? -1 : names.back());
    if (!names.empty()) {
      names.pop_back();
    }
  }
  return pairs;
}

std::vector<bool> Paired(const std::vector<int>& pairs, size_t count) {
  std::vector<bool> paired(count, false);
  for (const int pair : pairs) {
    if (pair >= 0) {
      paired[static_cast<size_t>(pair)] = true;
    }
  }
  return paired;
}

template <typename Entry>
void DiffEntries(const std::vector<Entry>& from, const std::vector<Entry>& to,
                 const std::string& block, const std::string& size, std::vector<Change>& changes) {
  const auto nameOf = [](const Entry& entry) { return entry.name; };
  const std::vector<int> pairs = Pair(from, to, nameOf);
  for (size_t i = 0; i < from.size(); ++i) {
    Change change{ChangeKind::kChanged, block,  size, from[i].name, Lines(MemberLine(from[i])), {},
                  EntryJson(from[i]),   nullptr};
    if (pairs[i] >= 0) {
      const Entry& other = to[static_cast<size_t>(pairs[i])];
      change.newLines = Lines(MemberLine(other));
      change.newValue = EntryJson(other);
    }
    Add(changes, std::move(change));
  }
  const std::vector<bool> paired = Paired(pairs, to.size());
  for (size_t i = 0; i < to.size(); ++i) {
    if (!paired[i]) {
      Add(changes, {ChangeKind::kAdded,
                    block,
                    size,
                    to[i].name,
                    {},
                    Lines(MemberLine(to[i])),
                    nullptr,
                    EntryJson(to[i])});
    }
  }
}

void DiffMembers(const MemberList& from, const MemberList& to, const std::string& block,
                 const std::string& size, std::vector<Change>& changes) {
  DiffEntries(from.specs, to.specs, block, size, changes);
  DiffEntries(from.params, to.params, block, size, changes);
}

std::string SizeLine(const SizeRecord& record) {
  std::string line = "$$SIZE\t\"" + record.name.Str() + "\"";
  return record.title.Empty() ? line : line + "\t!" + record.title.Str() + "!";
}

void AppendMemberLines(const MemberList& members, std::vector<std::string>& lines) {
  for (const SpecEntry& spec : members.specs) {
    lines.push_back(MemberLine(spec));
  }
  for (const ParamEntry& param : members.params) {
    lines.push_back(MemberLine(param));
  }
}

// A size's line with its member lines, for a size added or removed.
std::vector<std::string> SizeLines(const PartsSize& size) {
  std::vector<std::string> lines = Lines(SizeLine(size.record));
  AppendMemberLines(size.members, lines);
  return lines;
}

Json SizeRecordJson(const SizeRecord& record) {
  return Pick(SizeJson(PartsSize{record, {}, 0}), {"name", "title"});
}

void DiffSizes(const PartsModel& from, const PartsModel& to, const std::vector<int>& pairs,
               std::vector<Change>& changes) {
  for (size_t i = 0; i < from.sizes.size(); ++i) {
    const PartsSize& size = from.sizes[i];
    if (pairs[i] < 0) {
      Add(changes, {ChangeKind::kRemoved,
                    "$$SIZE",
                    "",
                    size.record.name.Str(),
                    SizeLines(size),
                    {},
                    SizeJson(size),
                    nullptr});
      continue;
    }
    const SizeRecord& other = to.sizes[static_cast<size_t>(pairs[i])].record;
    Add(changes,
        {ChangeKind::kChanged, "$$SIZE", "", size.record.name.Str(), Lines(SizeLine(size.record)),
         Lines(SizeLine(other)), SizeRecordJson(size.record), SizeRecordJson(other)});
  }
  const std::vector<bool> paired = Paired(pairs, to.sizes.size());
  for (size_t i = 0; i < to.sizes.size(); ++i) {
    if (!paired[i]) {
      const PartsSize& size = to.sizes[i];
      Add(changes, {ChangeKind::kAdded,
                    "$$SIZE",
                    "",
                    size.record.name.Str(),
                    {},
                    SizeLines(size),
                    nullptr,
                    SizeJson(size)});
    }
  }
}

// The lists no size record points to, the n-th of `from` against the n-th
// of `to`, each in a block of its own: a list on one side only is added or
// removed whole (the list is then its own key), with its member lines; the
// entries of a list on both sides are compared as a size's are.
void DiffUnlisted(const PartsModel& from, const PartsModel& to, std::vector<Change>& changes) {
  const size_t count = std::max(from.unlisted.size(), to.unlisted.size());
  for (size_t i = 0; i < count; ++i) {
    const std::string block = "unlisted list " + std::to_string(i + 1);
    const UnlistedList* before = i < from.unlisted.size() ? &from.unlisted[i] : nullptr;
    const UnlistedList* after = i < to.unlisted.size() ? &to.unlisted[i] : nullptr;
    if (before != nullptr && after != nullptr) {
      DiffMembers(before->members, after->members, block, "", changes);
      continue;
    }
    Change change{ChangeKind::kChanged, block, "", block, {}, {}, nullptr, nullptr};
    if (before != nullptr) {
      AppendMemberLines(before->members, change.oldLines);
      change.oldValue = UnlistedJson(*before);
    } else {
      AppendMemberLines(after->members, change.newLines);
      change.newValue = UnlistedJson(*after);
    }
    Add(changes, std::move(change));
  }
}

const char* KindWord(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kAdded:
      return "added";
    case ChangeKind::kRemoved:
      return "removed";
    case ChangeKind::kChanged:
      break;
  }
  return "changed";
}

std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<Change> DiffModels(const PartsModel& from, const PartsModel& to) {
  std::vector<Change> changes;
  DiffHeader(from.header, to.header, changes);
  DiffViews(from, to, changes);
  const auto sizeName = [](const PartsSize& size) { return size.record.name.Str(); };
  const std::vector<int> pairs = Pair(from.sizes, to.sizes, sizeName);
  DiffSizes(from, to, pairs, changes);
  static const MemberList kNone;
  if (from.common || to.common) {
    DiffMembers(from.common ? *from.common : kNone, to.common ? *to.common : kNone, "$$COMMON", "",
                changes);
  }
  for (size_t i = 0; i < from.sizes.size(); ++i) {
    if (pairs[i] >= 0) {
      const std::string name = from.sizes[i].record.name.Str();
      DiffMembers(from.sizes[i].members, to.sizes[static_cast<size_t>(pairs[i])].members,
                  "$$SIZE \"" + name + "\"", name, changes);
    }
  }
  DiffUnlisted(from, to, changes);
  return changes;
}

std::string DiffText(const std::vector<Change>& changes, const std::string& oldName,
                     const std::string& newName) {
  if (changes.empty()) {
    return {};
  }
  // A name or text that holds a line break shows it escaped: every line
  // here is one line of the listing.
  std::string text = "--- " + QuoteName(oldName) + "\n+++ " + QuoteName(newName) + "\n";
  const std::string* block = nullptr;
  for (const Change& change : changes) {
    if (block == nullptr || *block != change.block) {
      block = &change.block;
      text += "@@ " + EscapeLineBreaks(change.block) + " @@\n";
    }
    for (const std::string& line : change.oldLines) {
      text += "-" + EscapeLineBreaks(line) + "\n";
    }
    for (const std::string& line : change.newLines) {
      text += "+" + EscapeLineBreaks(line) + "\n";
    }
  }
  return text;
}

Json DiffJson(const std::vector<Change>& changes, const std::string& oldName,
              const std::string& newName) {
  Json json = Json::object();
  json["old"] = oldName;
  json["new"] = newName;
  json["same"] = changes.empty();
  Json list = Json::array();
  for (const Change& change : changes) {
    Json item = Json::object();
    item["change"] = KindWord(change.kind);
    item["block"] = change.block;
    if (!change.size.empty()) {
      item["size"] = TextJson(change.size);
    }
    item["key"] = TextJson(change.key);
    item["old"] = change.oldValue;
    item["new"] = change.newValue;
    list.push_back(std::move(item));
  }
  json["changes"] = std::move(list);
  return json;
}

std::string ChangeSummary(const std::vector<Change>& changes) {
  std::vector<std::string> parts;
  std::array<std::vector<std::string>, 3> sizes;  // by ChangeKind: added, removed, retitled
  std::vector<std::pair<std::string, std::array<size_t, 3>>> lists;
  std::vector<std::string> wholeLists;  // lists no record points to, added or removed
  for (const Change& change : changes) {
    const auto kind = static_cast<size_t>(change.kind);
    if (change.block == "$$PARTS" || change.block == "$$APG") {
      parts.push_back(change.key + " " + KindWord(change.kind));
    } else if (change.key == change.block) {
      wholeLists.push_back(change.key + " " + KindWord(change.kind));
    } else if (change.block == "$$SIZE") {
      sizes[kind].push_back(change.key);
    } else {
      const std::string list = change.size.empty() ? change.block : change.size;
      if (lists.empty() || lists.back().first != list) {
        lists.push_back({list, {0, 0, 0}});
      }
      ++lists.back().second[kind];
    }
  }
  constexpr std::array<const char*, 3> kSizeWords = {" added (", " removed (", " retitled ("};
  for (size_t kind = 0; kind < sizes.size(); ++kind) {
    if (sizes[kind].empty()) {
      continue;
    }
    std::string names;
    for (const std::string& name : sizes[kind]) {
      names += (names.empty() ? "" : ", ") + name;
    }
    parts.push_back(Counted(sizes[kind].size(), "size", "sizes") + kSizeWords[kind] + names + ")");
  }
  for (const auto& [list, counts] : lists) {
    std::string counted;
    for (size_t kind = 0; kind < counts.size(); ++kind) {
      if (counts[kind] != 0) {
        counted += (counted.empty() ? "" : ", ") + Counted(counts[kind], "entry ", "entries ") +
                   KindWord(static_cast<ChangeKind>(kind));
      }
    }
    parts.push_back(list + ": " + counted);
  }
  parts.insert(parts.end(), wholeLists.begin(), wholeLists.end());
  std::string summary;
  for (const std::string& part : parts) {
    summary += (summary.empty() ? "" : "; ") + part;
  }
  // One line, whatever the names hold.
  return summary.empty() ? "no change" : EscapeLineBreaks(summary);
}

}  // namespace partsc
