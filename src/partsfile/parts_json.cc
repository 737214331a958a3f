// A parts file's model as a JSON document, and back.
#include "partsfile/parts_json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "partsfile/parts_encoder.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

constexpr std::array<const char*, 6> kViewNames = {"$TOP",  "$BOTTOM", "$FRONT",
                                                    "$BACK", "$LEFT",   "$RIGHT"};

}  // namespace

bool ParseJson(std::string_view text, Json& document, std::string& error) {
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& e) {
    // what() begins with "[json.exception.parse_error.101] ".
    const std::string_view what = e.what();
    const size_t start = what.find("] ");
    error = std::string(start == std::string_view::npos ? what : what.substr(start + 2));
    return false;
  }
  return true;
}

Json TextJson(std::string_view bytes) {
  if (IsUtf8(bytes)) {
    return std::string(bytes);
  }
  Json text = Json::object();
  text["latin1"] = Latin1ToUtf8(bytes);
  return text;
}

namespace {

const char* PartToken(PartsPart part) {
  switch (part) {
    case PartsPart::kHeader:
      return "header";
    case PartsPart::kApgList:
      return "views";
    case PartsPart::kSizeList:
      return "size_records";
    case PartsPart::kCommonList:
      return "common";
    case PartsPart::kSizeMembers:
      return "size_members";
    case PartsPart::kMemberArea:
      return "unlisted";
    case PartsPart::kWhole:
      break;
  }
  return "whole";
}

const char* PartWords(PartsPart part) {
  switch (part) {
    case PartsPart::kHeader:
      return "header";
    case PartsPart::kApgList:
      return "view list";
    case PartsPart::kSizeList:
      return "size list";
    case PartsPart::kCommonList:
      return "common member list";
    case PartsPart::kSizeMembers:
      return "size member list";
    default:
      break;
  }
  return "member area";
}

std::string ResultReason(PartsPart part, int result) {
  const std::string words = PartWords(part);
  switch (result) {
    case kReadShort:
      return "truncated " + words;
    case kReadBadVersion:
      return "not a parts file (version is not 102)";
    case kReadNoApgName:
      return "no view defined";
    case kTableFull:
      return "too many members in the " + words;
    case kReadSizeNotFound:
      return "size member list not found (a size record out of order or without a list)";
    case kNoMemory:
      return "out of memory";
    default:
      break;
  }
  return "damaged " + words;
}

Json MembersJson(const MemberList& list) {
  Json members = Json::array();
  members.get_ref<Json::array_t&>().reserve(list.specs.size() + list.params.size());
  for (const SpecEntry& spec : list.specs) {
    members.push_back(EntryJson(spec));
  }
  for (const ParamEntry& param : list.params) {
    members.push_back(EntryJson(param));
  }
  return members;
}

Json HeaderJson(const PartsHeader& header) {
  Json json = Json::object();
  json["version"] = header.version;
  Json created = Json::object();
  created["year"] = header.createdYear;
  created["month"] = header.createdMonth;
  created["day"] = header.createdDay;
  created["hour"] = header.createdHour;
  created["minute"] = header.createdMinute;
  json["created"] = std::move(created);
  json["comment"] = TextJson(header.comment.View());
  json["title"] = TextJson(header.title.View());
  json["parts_value_1"] = header.partsValue1;
  json["parts_value_2"] = header.partsValue2;
  json["spec_file"] = header.specFile;
  json["spec_record"] = header.specRecord;
  json["sort_mode"] = header.sortMode;
  json["size_count"] = header.sizeCount;
  json["apg_comment_count"] = header.apgCommentCount;
  json["common_offset"] = header.commonOffset;
  return json;
}

Json ViewsJson(const PartsModel& model) {
  Json views = Json::array();
  for (size_t i = 0; i < kViewNames.size(); ++i) {
    Json view = Json::object();
    view["view"] = kViewNames[i];
    view["name"] = TextJson(model.apgNames[i].View());
    view["comment"] = TextJson(model.apgComments[i].View());
    views.push_back(std::move(view));
  }
  return views;
}

Json ReadJson(const PartsRead& read) {
  Json json = Json::object();
  json["whole"] = read.Whole();
  if (read.Whole()) {
    return json;
  }
  json["part"] = PartToken(read.part);
  json["result"] = read.result;
  json["offset"] = read.offset;
  if (read.part == PartsPart::kSizeMembers) {
    json["size"] = read.size;
  }
  json["reason"] = ReadStopReason(read);
  return json;
}

}  // namespace

namespace {

// An object with room for `members` members.
Json ObjectOf(size_t members) {
  Json object = Json::object();
  object.get_ref<Json::object_t&>().reserve(members);
  return object;
}

}  // namespace

Json EntryJson(const SpecEntry& spec) {
  Json entry = ObjectOf(5);
  entry["kind"] = "spec";
  entry["number"] = spec.number;
  entry["inverted"] = spec.invertedFlag;
  entry["record"] = spec.record;
  entry["name"] = TextJson(spec.name);
  return entry;
}

Json EntryJson(const ParamEntry& param) {
  Json entry = ObjectOf(5);
  entry["kind"] = "param";
  entry["name"] = TextJson(param.name);
  entry["pair_code"] = param.pairCode;
  entry["text"] = TextJson(param.text);
  entry["comment"] = TextJson(param.comment);
  return entry;
}

Json SizeJson(const PartsSize& size) {
  Json json = Json::object();
  json["name"] = TextJson(size.record.name.View());
  json["title"] = TextJson(size.record.title.View());
  json["member_offset"] = size.record.memberOffset;
  json["members"] = MembersJson(size.members);
  if (size.membersResult != 0) {
    Json read = Json::object();
    read["result"] = size.membersResult;
    read["reason"] = ResultReason(PartsPart::kSizeMembers, size.membersResult);
    json["read"] = std::move(read);
  }
  return json;
}

std::string ReadStopReason(const PartsRead& read) {
  return read.Whole() ? std::string() : ResultReason(read.part, read.result);
}

namespace {

// The document without the sizes, which come last: an empty array.
Json DocumentWithoutSizes(const PartsModel& model) {
  Json json = Json::object();
  json["header"] = HeaderJson(model.header);
  json["views"] = ViewsJson(model);
  if (model.common) {
    Json common = Json::object();
    common["members"] = MembersJson(*model.common);
    json["common"] = std::move(common);
  }
  Json unlisted = Json::array();
  for (const UnlistedList& list : model.unlisted) {
    Json entry = Json::object();
    entry["offset"] = list.offset;
    entry["members"] = MembersJson(list.members);
    unlisted.push_back(std::move(entry));
  }
  json["unlisted"] = std::move(unlisted);
  json["read"] = ReadJson(model.read);
  json["sizes"] = Json::array();
  return json;
}

}  // namespace

Json PartsModelJson(const PartsModel& model) {
  Json json = DocumentWithoutSizes(model);
  Json& sizes = json["sizes"];
  for (const PartsSize& size : model.sizes) {
    sizes.push_back(SizeJson(size));
  }
  return json;
}

void WritePartsModelJson(const PartsModel& model,
                         const std::function<void(std::string_view)>& write) {
  std::string text = DocumentWithoutSizes(model).dump();
  // The text ends with the empty array of the sizes and the end of the
  // document, "[]}": each size goes into it on its own, so that the values
  // of one size at a time are in memory.
  text.resize(text.size() - 2);
  write(text);
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    text = SizeJson(model.sizes[i]).dump();
    if (i > 0) {
      write(",");
    }
    write(text);
  }
  write("]}");
}

namespace {

// The first rule a document breaks: where, and what.
struct Refusal {
  std::string pointer;
  std::string rule;
};

// A value of the document and its JSON Pointer.
class Node {
 public:
  Node(const Json& value, std::string pointer) : value_(value), pointer_(std::move(pointer)) {}

  [[noreturn]] void Refuse(const std::string& rule) const { throw Refusal{pointer_, rule}; }

  const Json& Value() const { return value_; }
  const std::string& Pointer() const { return pointer_; }

  // The member `key` of this object; refused when it is missing.
  Node Field(const char* key) const {
    const std::optional<Node> field = Optional(key);
    if (!field) {
      Node(value_, pointer_ + "/" + key).Refuse("missing");
    }
    return *field;
  }

  std::optional<Node> Optional(const char* key) const {
    const auto found = value_.find(key);
    if (found == value_.end()) {
      return std::nullopt;
    }
    return Node(*found, pointer_ + "/" + key);
  }

  Node Item(size_t index) const { return Node(value_[index], pointer_ + "/" + std::to_string(index)); }

  // This object, whose members must all be among `known`.
  const Node& Object(std::initializer_list<std::string_view> known) const {
    if (!value_.is_object()) {
      Refuse("not an object");
    }
    for (const auto& [key, value] : value_.items()) {
      if (std::find(known.begin(), known.end(), key) == known.end()) {
        Node(value, pointer_ + "/" + key).Refuse("unknown field");
      }
    }
    return *this;
  }

  size_t ArraySize() const {
    if (!value_.is_array()) {
      Refuse("not an array");
    }
    return value_.size();
  }

  int64_t Integer(int64_t low, int64_t high) const {
    if (!value_.is_number_integer()) {
      Refuse(value_.dump() + " is not an integer");
    }
    if (value_.is_number_unsigned() && value_.get<uint64_t>() > uint64_t{INT64_MAX}) {
      Refuse(value_.dump() + " is above " + std::to_string(high));
    }
    const auto number = value_.get<int64_t>();
    if (number < low) {
      Refuse(std::to_string(number) + " is below " + std::to_string(low));
    }
    if (number > high) {
      Refuse(std::to_string(number) + " is above " + std::to_string(high));
    }
    return number;
  }

  bool Boolean() const {
    if (!value_.is_boolean()) {
      Refuse(value_.dump() + " is not true or false");
    }
    return value_.get<bool>();
  }

  // A text of at most `max` bytes: a string, or {"latin1": "..."}.
  std::string Text(size_t max) const {
    const std::string bytes = value_.is_object() ? Latin1() : String(*this);
    if (bytes.size() > max) {
      Refuse(std::to_string(bytes.size()) + " bytes is above " + std::to_string(max));
    }
    return bytes;
  }

 private:
  static std::string String(const Node& node) {
    if (!node.value_.is_string()) {
      node.Refuse(node.value_.dump() + " is not a string");
    }
    return node.value_.get<std::string>();
  }

  // The bytes of {"latin1": "..."}: each character one byte.
  std::string Latin1() const {
    const Node text = Object({"latin1"}).Field("latin1");
    const std::string utf8 = String(text);
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
      const auto u = static_cast<unsigned char>(utf8[i]);
      if (u < 0x80) {
        bytes += utf8[i];
        continue;
      }
      if ((u != 0xC2 && u != 0xC3) || i + 1 == utf8.size()) {
        text.Refuse("a character above U+00FF is not a Latin-1 byte");
      }
      const auto next = static_cast<unsigned char>(utf8[++i]);
      bytes += static_cast<char>(((u & 0x03) << 6) | (next & 0x3F));
    }
    return bytes;
  }

  const Json& value_;
  std::string pointer_;
};

int16_t Int16(const Node& node) {
  return static_cast<int16_t>(node.Integer(INT16_MIN, INT16_MAX));
}

template <int N>
void ReadText(const Node& node, FixedText<N>& text) {
  text.Assign(node.Text(N));
}

void ReadMember(const Node& node, MemberList& list) {
  const std::string kind = node.Object({"kind", "number", "inverted", "record", "name", "pair_code",
                                        "text", "comment"})
                               .Field("kind")
                               .Text(8);
  if (kind == "spec") {
    node.Object({"kind", "number", "inverted", "record", "name"});
    SpecEntry spec;
    spec.number = static_cast<uint16_t>(node.Field("number").Integer(1, 256));
    spec.invertedFlag = static_cast<uint16_t>(node.Field("inverted").Integer(0, 255));
    spec.record = static_cast<uint16_t>(node.Field("record").Integer(0, 256));
    spec.name = node.Field("name").Text(255);
    list.specs.push_back(std::move(spec));
    return;
  }
  if (kind != "param") {
    node.Field("kind").Refuse("\"" + kind + "\" is neither \"spec\" nor \"param\"");
  }
  node.Object({"kind", "name", "pair_code", "text", "comment"});
  ParamEntry param;
  param.name = node.Field("name").Text(kParamNameMax);
  param.pairCode = static_cast<int16_t>(node.Field("pair_code").Integer(0, 255));
  param.text = node.Field("text").Text(255);
  const std::optional<Node> comment = node.Optional("comment");
  param.comment = comment ? comment->Text(255) : std::string();
  list.params.push_back(std::move(param));
}

MemberList ReadMembers(const Node& node) {
  MemberList list;
  const size_t count = node.ArraySize();
  for (size_t i = 0; i < count; ++i) {
    ReadMember(node.Item(i), list);
  }
  return list;
}

// An offset, or 0 (and `missing` set) when it is left out.
int64_t ReadOffset(const Node& node, const char* key, int64_t high, bool& missing) {
  const std::optional<Node> offset = node.Optional(key);
  if (!offset) {
    missing = true;
    return 0;
  }
  return offset->Integer(0, high);
}

void ReadHeader(const Node& node, PartsHeader& header) {
  node.Object({"version", "created", "comment", "title", "parts_value_1", "parts_value_2",
               "spec_file", "spec_record", "sort_mode", "size_count", "apg_comment_count",
               "common_offset"});
  header.version = Int16(node.Field("version"));
  const Node created = node.Field("created");
  created.Object({"year", "month", "day", "hour", "minute"});
  header.createdYear = Int16(created.Field("year"));
  header.createdMonth = Int16(created.Field("month"));
  header.createdDay = Int16(created.Field("day"));
  header.createdHour = Int16(created.Field("hour"));
  header.createdMinute = Int16(created.Field("minute"));
  ReadText(node.Field("comment"), header.comment);
  ReadText(node.Field("title"), header.title);
  header.partsValue1 = Int16(node.Field("parts_value_1"));
  header.partsValue2 = Int16(node.Field("parts_value_2"));
  header.specFile = Int16(node.Field("spec_file"));
  header.specRecord = Int16(node.Field("spec_record"));
  header.sortMode = Int16(node.Field("sort_mode"));
}

void ReadViews(const Node& node, PartsModel& model) {
  if (node.ArraySize() != kViewNames.size()) {
    node.Refuse(std::to_string(node.Value().size()) + " views, not 6");
  }
  for (size_t i = 0; i < kViewNames.size(); ++i) {
    const Node view = node.Item(i);
    view.Object({"view", "name", "comment"});
    const std::optional<Node> label = view.Optional("view");
    if (label && label->Text(8) != kViewNames[i]) {
      label->Refuse("the view here is \"" + std::string(kViewNames[i]) + "\"");
    }
    ReadText(view.Field("name"), model.apgNames[i]);
    const std::optional<Node> comment = view.Optional("comment");
    model.apgComments[i].Assign(comment ? comment->Text(kApgTextMax) : std::string());
  }
}

// The counts the header holds, from the document or, left out, from what
// the document holds.
void ReadCounts(const Node& header, PartsModel& model) {
  const std::optional<Node> sizeCount = header.Optional("size_count");
  model.header.sizeCount =
      sizeCount ? Int16(*sizeCount) : static_cast<int16_t>(model.sizes.size());
  const std::optional<Node> comments = header.Optional("apg_comment_count");
  if (comments) {
    model.header.apgCommentCount = Int16(*comments);
    return;
  }
  int16_t count = 0;
  for (const auto& comment : model.apgComments) {
    count = static_cast<int16_t>(count + (comment.Empty() ? 0 : 1));
  }
  model.header.apgCommentCount = count;
}

// The document's model; the offsets as it gives them. True when every offset
// was given.
bool ReadModel(const Node& root, PartsModel& model) {
  root.Object({"header", "views", "common", "sizes", "unlisted", "read"});
  // How far --list read the file: not read back, but checked, so that a
  // document that says it is of a damaged file says so plainly.
  const std::optional<Node> read = root.Optional("read");
  if (read) {
    read->Object({"whole", "part", "result", "offset", "size", "reason"}).Field("whole").Boolean();
  }
  const Node header = root.Field("header");
  ReadHeader(header, model.header);
  ReadViews(root.Field("views"), model);
  bool missing = false;
  const std::optional<Node> common = root.Optional("common");
  if (common && !common->Value().is_null()) {
    common->Object({"members"});
    model.common = ReadMembers(common->Field("members"));
    model.header.commonOffset =
        static_cast<int32_t>(ReadOffset(header, "common_offset", INT32_MAX, missing));
  }
  const Node sizes = root.Field("sizes");
  const size_t sizeCount = sizes.ArraySize();
  if (sizeCount > static_cast<size_t>(INT16_MAX)) {
    sizes.Refuse(std::to_string(sizeCount) + " sizes is above " + std::to_string(INT16_MAX));
  }
  for (size_t i = 0; i < sizeCount; ++i) {
    const Node size = sizes.Item(i);
    size.Object({"name", "title", "member_offset", "members", "read"});
    const std::optional<Node> sizeRead = size.Optional("read");
    if (sizeRead) {
      sizeRead->Object({"result", "reason"});
    }
    PartsSize part;
    ReadText(size.Field("name"), part.record.name);
    ReadText(size.Field("title"), part.record.title);
    part.record.memberOffset =
        static_cast<uint32_t>(ReadOffset(size, "member_offset", UINT32_MAX, missing));
    part.members = ReadMembers(size.Field("members"));
    model.sizes.push_back(std::move(part));
  }
  const std::optional<Node> unlisted = root.Optional("unlisted");
  const size_t unlistedCount = unlisted ? unlisted->ArraySize() : 0;
  for (size_t i = 0; i < unlistedCount; ++i) {
    const Node list = unlisted->Item(i);
    list.Object({"offset", "members"});
    UnlistedList entry;
    entry.offset = static_cast<uint32_t>(ReadOffset(list, "offset", UINT32_MAX, missing));
    entry.members = ReadMembers(list.Field("members"));
    model.unlisted.push_back(std::move(entry));
  }
  ReadCounts(header, model);
  return !missing;
}

}  // namespace

bool PartsModelFromJson(const Json& document, PartsModel& model, std::string& error) {
  model = PartsModel();
  try {
    const bool offsetsGiven = ReadModel(Node(document, ""), model);
    if (!offsetsGiven || !ListLayoutProblem(model).empty()) {
      PlaceMemberLists(model);
    }
  } catch (const Refusal& refusal) {
    error = (refusal.pointer.empty() ? std::string("/") : refusal.pointer) + ": " + refusal.rule;
    return false;
  }
  return true;
}

}  // namespace partsc
