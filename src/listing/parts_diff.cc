#include "listing/parts_diff.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <utility>

#include "listing/listing.h"
#include "partsfile/keywords.h"
#include "partsfile/parts_json.h"
#include "platform/ov_escape.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// One side of a change: its lines and its value as the document's; none
// (no line, a null value) for a side that has nothing.
struct Side {
  std::vector<std::string> lines;
  Json value;
};

void Add(std::vector<Change>& changes, std::string block, std::string size, std::string key,
         Side before, Side after) {
  if (before.value == after.value) {
    return;
  }
  const ChangeKind kind = before.value.is_null()  ? ChangeKind::kAdded
                          : after.value.is_null() ? ChangeKind::kRemoved
                                                  : ChangeKind::kChanged;
  changes.push_back({kind, std::move(block), std::move(size), std::move(key),
                     std::move(before.lines), std::move(after.lines), before.value.dump(),
                     after.value.dump()});
}

// A text that the listing shows only up to its first zero byte, or not at
// all, written whole after a tab: "\ttext=\"4.5\"".
std::string Hidden(const char* key, const std::string& text, bool shown) {
  if (text.empty() || (shown && text.find('\0') == std::string::npos)) {
    return {};
  }
  return std::string("\t") + key + "=\"" + text + "\"";
}

// An entry's line in the listing, with every field the listing leaves out
// of it added: a param's text where its pair code has a first number, what
// follows a zero byte in a text, a spec's record 256 (listed as none) and an
// inverted flag other than 0 or 1.
std::string DiffLine(const SpecEntry& spec) {
  std::string line = MemberLine(spec) + Hidden("name", spec.name, true);
  if (spec.record == 256) {
    line += "\trecord=256";
  }
  if (spec.invertedFlag > 1) {
    line += "\tinverted=" + std::to_string(spec.invertedFlag);
  }
  return line;
}

std::string DiffLine(const ParamEntry& param) {
  return MemberLine(param) + Hidden("name", param.name, true) +
         Hidden("text", param.text, param.pairCode % 10 == 0) +
         Hidden("comment", param.comment, true);
}

// The fields `keys` of a value of the document, in that order.
Json Pick(const Json& from, std::initializer_list<const char*> keys) {
  Json value = Json::object();
  for (const char* key : keys) {
    value[key] = from.at(key);
  }
  return value;
}

Side PartsField(const PartsHeader& header) {
  std::string line = KeywordString(Keyword::kParts) + "\t<" + std::to_string(header.partsValue1) +
                     "," + std::to_string(header.partsValue2) + ">";
  if (!header.comment.Empty()) {
    line += "\t\"" + header.comment.Str() + "\"";
  }
  return {{line}, Pick(HeaderJson(header), {"parts_value_1", "parts_value_2", "comment"})};
}

Side SpecField(const PartsHeader& header) {
  return {{KeywordString(Keyword::kSpec) + " <" + std::to_string(header.specFile) + "," +
           std::to_string(header.specRecord) + ">"},
          Pick(HeaderJson(header), {"spec_file", "spec_record"})};
}

Side TitleField(const PartsHeader& header) {
  return {{KeywordString(Keyword::kTitle) + "\t\"" + header.title.Str() + "\""},
          HeaderJson(header).at("title")};
}

// The sort keyword; a mode that has none shows its number too.
Side SortField(const PartsHeader& header) {
  std::string line(SortKeyword(header.sortMode));
  if (header.sortMode < 0 || header.sortMode > 2) {
    line += "\tsort_mode=" + std::to_string(header.sortMode);
  }
  return {{line}, HeaderJson(header).at("sort_mode")};
}

Side VersionField(const PartsHeader& header) {
  return {{"/ PARTS VERSION   : " + std::to_string(header.version)},
          HeaderJson(header).at("version")};
}

using FieldOf = Side (*)(const PartsHeader&);
constexpr std::array<std::pair<std::string_view, FieldOf>, 5> kHeaderFields = {
    {{"version", VersionField},
     {KeywordText(Keyword::kParts), PartsField},
     {KeywordText(Keyword::kSpec), SpecField},
     {KeywordText(Keyword::kTitle), TitleField},
     {"sort", SortField}}};

// A field of a header; none for a missing side.
Side SideField(FieldOf field, const PartsModel* model) {
  return model == nullptr ? Side{} : field(model->header);
}

void DiffHeader(const PartsModel* from, const PartsModel* to, std::vector<Change>& changes) {
  for (const auto& [key, fieldOf] : kHeaderFields) {
    Add(changes, KeywordString(Keyword::kParts), "", std::string(key), SideField(fieldOf, from),
        SideField(fieldOf, to));
  }
}

// A view on one side; none when it is not defined, or the side is missing.
Side ViewField(const PartsModel* model, size_t view) {
  if (model == nullptr || model->apgNames[view].Empty()) {
    return {};
  }
  std::string line = std::string(kViewKeywords[view]) + "\t!" + model->apgNames[view].Str() + "!";
  if (!model->apgComments[view].Empty()) {
    line += "\t" + model->apgComments[view].Str();
  }
  return {{line}, Pick(ViewJson(*model, view), {"name", "comment"})};
}

void DiffViews(const PartsModel* from, const PartsModel* to, std::vector<Change>& changes) {
  for (size_t view = 0; view < kViewKeywords.size(); ++view) {
    Add(changes, KeywordString(Keyword::kApg), "", std::string(kViewKeywords[view]),
        ViewField(from, view), ViewField(to, view));
  }
}

// Things known by a name, the n-th of a name on one side paired with the n-th
// on the other: `compare(before, after)` for each item of `from` and its pair
// or null, then for each item of `to` left over, with null before. Answers
// the index of the item of `to` paired with item i of `from`, or -1.
template <typename Item, typename NameOf, typename Compare>
std::vector<int> ForPairs(const std::vector<Item>& from, const std::vector<Item>& to, NameOf nameOf,
                          Compare compare) {
  std::map<std::string, std::vector<int>> waiting;
  for (size_t i = to.size(); i-- > 0;) {
    waiting[nameOf(to[i])].push_back(static_cast<int>(i));
  }
  std::vector<int> pairs;
  std::vector<bool> paired(to.size(), false);
  for (const Item& item : from) {
    std::vector<int>& names = waiting[nameOf(item)];
    pairs.push_back(names.empty() ? -1 : names.back());
    if (!names.empty()) {
      paired[static_cast<size_t>(names.back())] = true;
      names.pop_back();
    }
    compare(&item, pairs.back() < 0 ? nullptr : &to[static_cast<size_t>(pairs.back())]);
  }
  for (size_t i = 0; i < to.size(); ++i) {
    if (!paired[i]) {
      compare(nullptr, &to[i]);
    }
  }
  return pairs;
}

template <typename Entry>
Side EntrySide(const Entry* entry) {
  return entry == nullptr ? Side{} : Side{{DiffLine(*entry)}, EntryJson(*entry)};
}

template <typename Entry>
void DiffEntries(const std::vector<Entry>& from, const std::vector<Entry>& to,
                 const std::string& block, const std::string& size, std::vector<Change>& changes) {
  const auto nameOf = [](const Entry& entry) { return entry.name; };
  ForPairs(from, to, nameOf, [&](const Entry* before, const Entry* after) {
    Add(changes, block, size, (before != nullptr ? before : after)->name, EntrySide(before),
        EntrySide(after));
  });
}

void DiffMembers(const MemberList& from, const MemberList& to, const std::string& block,
                 const std::string& size, std::vector<Change>& changes) {
  DiffEntries(from.specs, to.specs, block, size, changes);
  DiffEntries(from.params, to.params, block, size, changes);
}

std::string SizeLine(const SizeRecord& record) {
  std::string line = KeywordString(Keyword::kSize) + "\t\"" + record.name.Str() + "\"";
  return record.title.Empty() ? line : line + "\t!" + record.title.Str() + "!";
}

void AppendMemberLines(const MemberList& members, std::vector<std::string>& lines) {
  for (const SpecEntry& spec : members.specs) {
    lines.push_back(DiffLine(spec));
  }
  for (const ParamEntry& param : members.params) {
    lines.push_back(DiffLine(param));
  }
}

// A size on one side: its line and record; when the other side has no size
// of its name, its member lines and the whole size too.
Side SizeSide(const PartsSize* size, bool whole) {
  if (size == nullptr) {
    return {};
  }
  if (!whole) {
    return {{SizeLine(size->record)},
            Pick(SizeJson(PartsSize{size->record, {}, ReadStatus::kOk}), {"name", "title"})};
  }
  Side side{{SizeLine(size->record)}, SizeJson(*size)};
  AppendMemberLines(size->members, side.lines);
  return side;
}

// The sizes added, removed and retitled; answers the pairs of ForPairs.
std::vector<int> DiffSizes(const PartsModel& from, const PartsModel& to,
                           std::vector<Change>& changes) {
  const auto nameOf = [](const PartsSize& size) { return size.record.name.Str(); };
  return ForPairs(from.sizes, to.sizes, nameOf,
                  [&changes](const PartsSize* before, const PartsSize* after) {
                    const bool whole = before == nullptr || after == nullptr;
                    Add(changes, KeywordString(Keyword::kSize), "",
                        (before != nullptr ? before : after)->record.name.Str(),
                        SizeSide(before, whole), SizeSide(after, whole));
                  });
}

// A list no size record points to, on one side: its member lines.
Side UnlistedSide(const UnlistedList* list) {
  if (list == nullptr) {
    return {};
  }
  Side side{{}, UnlistedJson(*list)};
  AppendMemberLines(list->members, side.lines);
  return side;
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
    Add(changes, block, "", block, UnlistedSide(before), UnlistedSide(after));
  }
}

std::string Joined(const std::vector<std::string>& parts, const char* between) {
  std::string text;
  for (const std::string& part : parts) {
    text += (text.empty() ? "" : between) + part;
  }
  return text;
}

const char* KindWord(ChangeKind kind) {
  constexpr std::array<const char*, 3> kWords = {"added", "removed", "changed"};
  return kWords[static_cast<size_t>(kind)];
}

std::string Counted(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::vector<Change> DiffModels(const PartsModel& from, const PartsModel& to) {
  return ChangesBetween(&from, &to);
}

std::vector<Change> ChangesBetween(const PartsModel* fromSide, const PartsModel* toSide) {
  static const PartsModel kNothing;
  const PartsModel& from = fromSide != nullptr ? *fromSide : kNothing;
  const PartsModel& to = toSide != nullptr ? *toSide : kNothing;
  std::vector<Change> changes;
  DiffHeader(fromSide, toSide, changes);
  DiffViews(fromSide, toSide, changes);
  const std::vector<int> pairs = DiffSizes(from, to, changes);
  static const MemberList kNone;
  if (from.common || to.common) {
    DiffMembers(from.common ? *from.common : kNone, to.common ? *to.common : kNone,
                KeywordString(Keyword::kCommon), "", changes);
  }
  for (size_t i = 0; i < from.sizes.size(); ++i) {
    if (pairs[i] >= 0) {
      const std::string name = from.sizes[i].record.name.Str();
      DiffMembers(from.sizes[i].members, to.sizes[static_cast<size_t>(pairs[i])].members,
                  KeywordString(Keyword::kSize) + " \"" + name + "\"", name, changes);
    }
  }
  DiffUnlisted(from, to, changes);
  return changes;
}

namespace {

// A line as a text diff shows it: UTF-8 as it stands; the bytes of a line
// that is no UTF-8 text as `latin1` says; control characters but the tab as
// \xHH.
std::string Shown(std::string_view line, Latin1Bytes latin1) {
  std::string shown = EscapeControls(line);
  if (IsUtf8(line)) {
    return shown;
  }
  if (latin1 == Latin1Bytes::kUtf8) {
    return Latin1ToUtf8(shown);
  }
  std::string out;
  for (const char c : shown) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    out += escaped;
  }
  return out;
}

}  // namespace

std::string DiffText(const std::vector<Change>& changes, const std::string& oldName,
                     const std::string& newName, Latin1Bytes latin1) {
  if (changes.empty()) {
    return {};
  }
  // A name shows as partsc's messages show a file name; every line here is
  // one line of the listing, its line breaks and other control characters
  // escaped.
  std::string text = "--- " + QuoteName(oldName) + "\n+++ " + QuoteName(newName) + "\n";
  const std::string* block = nullptr;
  for (const Change& change : changes) {
    if (block == nullptr || *block != change.block) {
      block = &change.block;
      text += "@@ " + Shown(change.block, latin1) + " @@\n";
    }
    for (const std::string& line : change.oldLines) {
      text += "-" + Shown(line, latin1) + "\n";
    }
    for (const std::string& line : change.newLines) {
      text += "+" + Shown(line, latin1) + "\n";
    }
  }
  return text;
}

std::string ModelLines(const PartsModel& model, Latin1Bytes latin1) {
  std::vector<std::string> lines;
  for (const auto& [key, fieldOf] : kHeaderFields) {
    lines.push_back(fieldOf(model.header).lines.front());
  }
  lines.push_back(KeywordString(Keyword::kApg));
  for (size_t view = 0; view < kViewKeywords.size(); ++view) {
    const Side side = ViewField(&model, view);
    lines.insert(lines.end(), side.lines.begin(), side.lines.end());
  }
  if (model.common) {
    lines.push_back(KeywordString(Keyword::kCommon));
    AppendMemberLines(*model.common, lines);
  }
  for (const PartsSize& size : model.sizes) {
    lines.push_back(SizeLine(size.record));
    AppendMemberLines(size.members, lines);
  }
  for (size_t i = 0; i < model.unlisted.size(); ++i) {
    lines.push_back("/ unlisted list " + std::to_string(i + 1));
    AppendMemberLines(model.unlisted[i].members, lines);
  }
  lines.push_back(KeywordString(Keyword::kEnd));
  if (!model.read.Whole()) {
    lines.push_back("/ READING STOPPED: " + ReadStopReason(model.read));
  }
  std::string text;
  for (const std::string& line : lines) {
    text += Shown(line, latin1) + "\n";
  }
  return text;
}

std::string DiffJson(const std::vector<Change>& changes, const std::string& oldName,
                     const std::string& newName) {
  Json list = Json::array();
  for (const Change& change : changes) {
    Json item = {{"change", KindWord(change.kind)}, {"block", TextJson(change.block)}};
    if (!change.size.empty()) {
      item["size"] = TextJson(change.size);
    }
    item["key"] = TextJson(change.key);
    item["old"] = Json::parse(change.oldValue);
    item["new"] = Json::parse(change.newValue);
    list.push_back(std::move(item));
  }
  return Json{{"format", std::string(kPartsDiffFormat)},
              {"old", TextJson(oldName)},
              {"new", TextJson(newName)},
              {"same", changes.empty()},
              {"changes", std::move(list)}}
      .dump();
}

std::string ChangeSummary(const std::vector<Change>& changes) {
  std::vector<std::string> parts;
  std::array<std::vector<std::string>, 3> sizes;  // by ChangeKind: added, removed, retitled
  std::vector<std::pair<std::string, std::array<size_t, 3>>> lists;
  std::vector<std::string> wholeLists;  // lists no record points to, added or removed
  for (const Change& change : changes) {
    const auto kind = static_cast<size_t>(change.kind);
    if (change.block == KeywordText(Keyword::kParts) ||
        change.block == KeywordText(Keyword::kApg)) {
      parts.push_back(change.key + " " + KindWord(change.kind));
    } else if (change.key == change.block) {
      wholeLists.push_back(change.key + " " + KindWord(change.kind));
    } else if (change.block == KeywordText(Keyword::kSize)) {
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
    parts.push_back(Counted(sizes[kind].size(), "size", "sizes") + kSizeWords[kind] +
                    Joined(sizes[kind], ", ") + ")");
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
  // One line, whatever the names hold.
  return parts.empty() ? "no change" : EscapeLineBreaks(Joined(parts, "; "));
}

}  // namespace partsc
