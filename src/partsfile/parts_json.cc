// A parts file's model as a JSON document, and back.
#include "partsfile/parts_json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "platform/ov_json.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

constexpr std::array<const char*, 6> kViewNames = {"$TOP",  "$BOTTOM", "$FRONT",
                                                   "$BACK", "$LEFT",   "$RIGHT"};

}  // namespace

bool ParseJson(std::string_view text, Json& document, std::string& error) {
  return ParseJsonGuarded(text, kJsonDocumentLimits, document, error) == OvJsonResult::kOk;
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

// The document is described once, by the Write* functions below, to an
// output with these members:
//   BeginObject, EndObject, BeginArray, EndArray  the structure;
//   Key                                           the name of the next member,
//                                                 a literal;
//   Constant                                      a string value, a literal;
//   String, Integer, Boolean                      the other values;
//   Break                                         a place where what is written
//                                                 so far may be handed on.
// ValueBuilder makes nlohmann/json values of it (the pieces --diff shows),
// TextWriter the text of --list --format=json.

// Builds the value the document describes.
class ValueBuilder {
 public:
  void BeginObject() { open_.push_back(&Put(Json::object())); }
  void BeginArray() { open_.push_back(&Put(Json::array())); }
  void EndObject() { open_.pop_back(); }
  void EndArray() { open_.pop_back(); }
  void Key(const char* name) { key_ = name; }
  void Constant(const char* text) { String(text); }
  void String(std::string_view text) { Put(std::string(text)); }
  void Integer(int64_t number) { Put(number); }
  void Boolean(bool value) { Put(value); }
  void Break() {}

  Json Take() { return std::move(root_); }

 private:
  // Only the innermost open value grows, so the pointers to the ones
  // around it stay valid.
  Json& Put(Json value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return root_;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return parent.back();
    }
    Json& member = parent[key_];
    member = std::move(value);
    return member;
  }

  Json root_;
  std::vector<Json*> open_;
  std::string key_;
};

// Writes the text of the document, as Json::dump() writes it, without
// building it. The structure ({ } [ ] , :) is put down here; every key,
// string, number and boolean is written by nlohmann/json's own serializer,
// from one kept value of each kind that is assigned again for each field,
// into one buffer that is handed on in pieces of at least 64 KiB.
class TextWriter {
 public:
  explicit TextWriter(const std::function<void(std::string_view)>& write)
      : write_(write), serializer_(nlohmann::detail::output_adapter<char>(buffer_), ' ') {
    buffer_.reserve(kPiece + kPiece / 4);
  }

  void BeginObject() { Open('{'); }
  void BeginArray() { Open('['); }
  void EndObject() { Close('}'); }
  void EndArray() { Close(']'); }

  void Key(const char* name) {
    Constant(name);
    buffer_ += ':';
    afterKey_ = true;
  }

  // The literal `text` (a string of static storage, told from the others
  // by its address) as a JSON string: the text the serializer gave for it
  // the first time is kept and copied.
  void Constant(const char* text) {
    Separate();
    const auto address = reinterpret_cast<uintptr_t>(text);
    Literal& literal = literals_[(address ^ (address >> 8)) % literals_.size()];
    if (literal.text == text) {
      buffer_ += literal.json;
      return;
    }
    const size_t start = buffer_.size();
    string_.get_ref<Json::string_t&>() = text;
    serializer_.dump(string_, false, false, 0);
    literal = {text, buffer_.substr(start)};
  }

  void String(std::string_view text) {
    string_.get_ref<Json::string_t&>().assign(text);
    Dump(string_);
  }

  void Integer(int64_t number) {
    integer_.get_ref<Json::number_integer_t&>() = number;
    Dump(integer_);
  }

  void Boolean(bool value) {
    boolean_.get_ref<Json::boolean_t&>() = value;
    Dump(boolean_);
  }

  void Break() {
    if (buffer_.size() >= kPiece) {
      Flush();
    }
  }

  void Flush() {
    write_(buffer_);
    buffer_.clear();
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;

  void Dump(const Json& value) {
    Separate();
    serializer_.dump(value, false, false, 0);
  }

  // The comma before every item of an object or array but its first.
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (hasItem_.empty()) {
      return;
    }
    if (hasItem_.back()) {
      buffer_ += ',';
    }
    hasItem_.back() = 1;
  }

  void Open(char bracket) {
    Separate();
    buffer_ += bracket;
    hasItem_.push_back(0);
  }

  void Close(char bracket) {
    buffer_ += bracket;
    hasItem_.pop_back();
  }

  struct Literal {
    const char* text = nullptr;
    std::string json;
  };

  const std::function<void(std::string_view)>& write_;
  std::array<Literal, 256> literals_;
  std::string buffer_;
  nlohmann::detail::serializer<Json> serializer_;
  Json string_ = Json::string_t();
  Json integer_ = Json::number_integer_t{0};
  Json boolean_ = false;
  std::vector<char> hasItem_;  // a bool for each open object or array
  bool afterKey_ = false;
};

template <class Out>
void WriteText(Out& out, std::string_view bytes) {
  if (IsUtf8(bytes)) {
    out.String(bytes);
    return;
  }
  out.BeginObject();
  out.Key("latin1");
  out.String(Latin1ToUtf8(bytes));
  out.EndObject();
}

template <class Out>
void WriteEntry(Out& out, const SpecEntry& spec) {
  out.BeginObject();
  out.Key("kind");
  out.Constant("spec");
  out.Key("number");
  out.Integer(spec.number);
  out.Key("inverted");
  out.Integer(spec.invertedFlag);
  out.Key("record");
  out.Integer(spec.record);
  out.Key("name");
  WriteText(out, spec.name);
  out.EndObject();
}

template <class Out>
void WriteEntry(Out& out, const ParamEntry& param) {
  out.BeginObject();
  out.Key("kind");
  out.Constant("param");
  out.Key("name");
  WriteText(out, param.name);
  out.Key("pair_code");
  out.Integer(param.pairCode);
  out.Key("text");
  WriteText(out, param.text);
  out.Key("comment");
  WriteText(out, param.comment);
  out.EndObject();
}

template <class Out>
void WriteMembers(Out& out, const MemberList& list) {
  out.BeginArray();
  for (const SpecEntry& spec : list.specs) {
    WriteEntry(out, spec);
  }
  for (const ParamEntry& param : list.params) {
    WriteEntry(out, param);
  }
  out.EndArray();
}

template <class Out>
void WriteHeader(Out& out, const PartsHeader& header) {
  out.BeginObject();
  out.Key("version");
  out.Integer(header.version);
  out.Key("created");
  out.BeginObject();
  out.Key("year");
  out.Integer(header.createdYear);
  out.Key("month");
  out.Integer(header.createdMonth);
  out.Key("day");
  out.Integer(header.createdDay);
  out.Key("hour");
  out.Integer(header.createdHour);
  out.Key("minute");
  out.Integer(header.createdMinute);
  out.EndObject();
  out.Key("comment");
  WriteText(out, header.comment.View());
  out.Key("title");
  WriteText(out, header.title.View());
  const std::pair<const char*, int64_t> numbers[] = {{"parts_value_1", header.partsValue1},
                                                     {"parts_value_2", header.partsValue2},
                                                     {"spec_file", header.specFile},
                                                     {"spec_record", header.specRecord},
                                                     {"sort_mode", header.sortMode},
                                                     {"size_count", header.sizeCount},
                                                     {"apg_comment_count", header.apgCommentCount},
                                                     {"common_offset", header.commonOffset}};
  for (const auto& [key, number] : numbers) {
    out.Key(key);
    out.Integer(number);
  }
  out.EndObject();
}

template <class Out>
void WriteViews(Out& out, const PartsModel& model) {
  out.BeginArray();
  for (size_t i = 0; i < kViewNames.size(); ++i) {
    out.BeginObject();
    out.Key("view");
    out.String(kViewNames[i]);
    out.Key("name");
    WriteText(out, model.apgNames[i].View());
    out.Key("comment");
    WriteText(out, model.apgComments[i].View());
    out.EndObject();
  }
  out.EndArray();
}

template <class Out>
void WriteRead(Out& out, const PartsRead& read) {
  out.BeginObject();
  out.Key("whole");
  out.Boolean(read.Whole());
  if (!read.Whole()) {
    out.Key("part");
    out.String(PartToken(read.part));
    out.Key("result");
    out.Integer(read.result);
    out.Key("offset");
    out.Integer(read.offset);
    if (read.part == PartsPart::kSizeMembers) {
      out.Key("size");
      out.Integer(read.size);
    }
    out.Key("reason");
    out.String(ReadStopReason(read));
  }
  out.EndObject();
}

// A size, with `members` for its member list.
template <class Out>
void WriteSize(Out& out, const PartsSize& size, const MemberList& members) {
  out.BeginObject();
  out.Key("name");
  WriteText(out, size.record.name.View());
  out.Key("title");
  WriteText(out, size.record.title.View());
  out.Key("member_offset");
  out.Integer(size.record.memberOffset);
  out.Key("members");
  WriteMembers(out, members);
  if (size.membersResult != 0) {
    out.Key("read");
    out.BeginObject();
    out.Key("result");
    out.Integer(size.membersResult);
    out.Key("reason");
    out.String(ResultReason(PartsPart::kSizeMembers, size.membersResult));
    out.EndObject();
  }
  out.EndObject();
}

template <class Out>
void WriteUnlisted(Out& out, const UnlistedList& list) {
  out.BeginObject();
  out.Key("offset");
  out.Integer(list.offset);
  out.Key("members");
  WriteMembers(out, list.members);
  out.EndObject();
}

// The whole document; the sizes come last, each followed by a Break, the
// member list of size i being members(i).
template <class Out, class Members>
void WriteDocument(Out& out, const PartsModel& model, Members&& members) {
  out.BeginObject();
  out.Key("header");
  WriteHeader(out, model.header);
  out.Key("views");
  WriteViews(out, model);
  if (model.common) {
    out.Key("common");
    out.BeginObject();
    out.Key("members");
    WriteMembers(out, *model.common);
    out.EndObject();
  }
  out.Key("unlisted");
  out.BeginArray();
  for (const UnlistedList& list : model.unlisted) {
    WriteUnlisted(out, list);
    out.Break();
  }
  out.EndArray();
  out.Key("read");
  WriteRead(out, model.read);
  out.Key("sizes");
  out.BeginArray();
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    WriteSize(out, model.sizes[i], members(i));
    out.Break();
  }
  out.EndArray();
  out.EndObject();
}

template <class Describe>
Json Built(const Describe& describe) {
  ValueBuilder builder;
  describe(builder);
  return builder.Take();
}

}  // namespace

std::string ReadStopReason(const PartsRead& read) {
  return read.Whole() ? std::string() : ResultReason(read.part, read.result);
}

Json TextJson(std::string_view bytes) {
  return Built([&](ValueBuilder& out) { WriteText(out, bytes); });
}

Json EntryJson(const SpecEntry& spec) {
  return Built([&](ValueBuilder& out) { WriteEntry(out, spec); });
}

Json EntryJson(const ParamEntry& param) {
  return Built([&](ValueBuilder& out) { WriteEntry(out, param); });
}

Json SizeJson(const PartsSize& size) {
  return Built([&](ValueBuilder& out) { WriteSize(out, size, size.members); });
}

Json UnlistedJson(const UnlistedList& list) {
  return Built([&](ValueBuilder& out) { WriteUnlisted(out, list); });
}

namespace {

// The member list of each size as the model holds it.
struct ModelMembers {
  const PartsModel& model;
  const MemberList& operator()(size_t slot) const { return model.sizes[slot].members; }
};

// The member list of each size read again from the file, into one list.
class FileMembers {
 public:
  FileMembers(const PartsModel& frame, std::string_view bytes) : frame_(frame), bytes_(bytes) {}

  const MemberList& operator()(size_t slot) {
    DecodeSizeMembers(bytes_, frame_, slot, scratch_);
    return scratch_;
  }

 private:
  const PartsModel& frame_;
  std::string_view bytes_;
  MemberList scratch_;
};

}  // namespace

Json PartsModelJson(const PartsModel& model) {
  return Built([&](ValueBuilder& out) { WriteDocument(out, model, ModelMembers{model}); });
}

void WritePartsModelJson(const PartsModel& model,
                         const std::function<void(std::string_view)>& write) {
  TextWriter writer(write);
  WriteDocument(writer, model, ModelMembers{model});
  writer.Flush();
}

void WritePartsFileJson(const PartsModel& frame, std::string_view bytes,
                        const std::function<void(std::string_view)>& write) {
  TextWriter writer(write);
  FileMembers members(frame, bytes);
  WriteDocument(writer, frame, members);
  writer.Flush();
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

  Node Item(size_t index) const {
    return Node(value_[index], pointer_ + "/" + std::to_string(index));
  }

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
  const std::string kind =
      node.Object({"kind", "number", "inverted", "record", "name", "pair_code", "text", "comment"})
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
  model.header.sizeCount = sizeCount ? Int16(*sizeCount) : static_cast<int16_t>(model.sizes.size());
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
