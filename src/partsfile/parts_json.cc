// A parts file's model as a JSON document, and back: the writer and the
// reader of the description in parts_document.h.
#include "partsfile/parts_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "partsfile/parts_decoder.h"
#include "partsfile/parts_document.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_json.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// The token of each part of a file, in the order of PartsPart.
constexpr std::array<const char*, 7> kPartTokens = {
    "header", "views", "size_records", "common", "size_members", "unlisted", "whole"};

// Writes the text of the document as Json::dump() writes it, field by
// field in the order of the description, into a buffer handed on in pieces
// of about 64 KiB between the items of a top-level array, so that the
// document is never built whole. Every string goes through nlohmann/json's
// serializer unless it holds no character that JSON escapes ('"', '\\' and
// the control characters); numbers are written as integers are.
class TextWriter {
 public:
  explicit TextWriter(const std::function<void(std::string_view)>& write,
                      std::string_view file = {})
      : write_(write), file_(file) {}

  template <class T>
  void Integer(const char* key, const T& field, int64_t, int64_t, Need = Need::kRequired) {
    Key(key);
    char digits[24];
    buffer_.append(digits, std::to_chars(digits, digits + sizeof digits, int64_t{field}).ptr);
  }
  void Text(const char* key, std::string_view text, int, Need = Need::kRequired) {
    Key(key);
    if (IsUtf8(text)) {
      String(text);
      return;
    }
    Open('{');
    Key("latin1");
    String(Latin1ToUtf8(text));
    Close('}');
  }
  template <int N>
  void Text(const char* key, const FixedText<N>& text, int max, Need need = Need::kRequired) {
    Text(key, text.View(), max, need);
  }
  void Label(const char* key, std::string_view text, Need) {
    Key(key);
    String(text);
  }
  template <class Describe>
  void Object(const char* key, Describe describe) {
    Key(key);
    Open('{');
    describe(*this);
    Close('}');
  }
  // A member list: its entries, or views of them in a file's bytes.
  template <class List>
  void Members(const char* key, const List& list) {
    const size_t specs = list.specs.size();
    Items(key, specs + list.params.size(), [&](size_t i) {
      if (i < specs) {
        DescribeSpec(*this, list.specs[i]);
      } else {
        DescribeParam(*this, list.params[i - specs]);
      }
    });
  }
  void Views(const char* key, const ApgBlock& names, const ApgBlock& comments) {
    Items(key, names.size(), [&](size_t i) { DescribeView(*this, i, names[i], comments[i]); });
  }
  template <class Describe>
  void Optional(const char* key, const std::optional<MemberList>& list, Describe describe) {
    if (list) {
      Object(key, [&](auto& io) { describe(io, *list); });
    }
  }
  template <class T, class Describe>
  void Array(const char* key, const std::vector<T>& items, Describe describe) {
    Items(key, items.size(), [&](size_t i) { describe(*this, items[i], i); });
  }
  void Read(const char* key, const PartsRead& read) {
    Object(key, [&read](TextWriter& out) {
      out.Boolean("whole", read.Whole());
      if (read.Whole()) {
        return;
      }
      out.Label("part", kPartTokens[static_cast<size_t>(read.part)], Need::kRequired);
      out.Integer("result", static_cast<int>(read.result), 0, 0);
      out.Integer("offset", read.offset, 0, 0);
      if (read.part == PartsPart::kSizeMembers) {
        out.Integer("size", read.size, 0, 0);
      }
      out.Text("reason", ReadStopReason(read), 0);
    });
  }
  void Format(const char* key, std::string_view format) { Label(key, format, Need::kRequired); }
  void Note(const char* key) {
    if (std::string_view(key) == "file" && !file_.empty()) {
      Text(key, file_, 0);
    }
  }
  void SizeRead(const char* key, ReadStatus status) {
    if (status != ReadStatus::kOk) {
      Object(key, [status](TextWriter& out) {
        out.Integer("result", static_cast<int>(status), 0, 0);
        out.Text("reason", ReadReason(PartsPart::kSizeMembers, status), 0);
      });
    }
  }

  // Writes one value described by `describe(*this)`, the whole document or
  // a part of it, and hands on what is left.
  template <class Describe>
  void Document(Describe describe) {
    Open('{', false);
    describe(*this);
    Close('}');
    Flush();
  }

 private:
  static constexpr size_t kPiece = 64 * 1024;

  void Boolean(const char* key, bool value) {
    Key(key);
    buffer_ += value ? "true" : "false";
  }
  void String(std::string_view text) {
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
      return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    });
    if (!plain) {
      buffer_ += Json(std::string(text)).dump();
      return;
    }
    buffer_ += '"';
    buffer_ += text;
    buffer_ += '"';
  }
  // The comma before every item of an object or array but its first.
  void Separate() {
    if (!open_.empty() && open_.back()) {
      buffer_ += ',';
    }
    if (!open_.empty()) {
      open_.back() = true;
    }
  }
  void Key(const char* key) {
    Separate();
    String(key);
    buffer_ += ':';
  }
  // Opens an object or array: the value of the key just written, or else
  // an item of the array around it.
  void Open(char bracket, bool keyed = true) {
    if (!keyed) {
      Separate();
    }
    buffer_ += bracket;
    open_.push_back(false);
  }
  void Close(char bracket) {
    buffer_ += bracket;
    open_.pop_back();
  }
  // An array of `count` objects, the i-th written by each(i); the text of
  // the items of a top-level array is handed on in pieces.
  template <class Each>
  void Items(const char* key, size_t count, Each each) {
    Key(key);
    Open('[');
    const bool top = open_.size() == 2;
    for (size_t i = 0; i < count; ++i) {
      Open('{', false);
      each(i);
      Close('}');
      if (top && buffer_.size() >= kPiece) {
        Flush();
      }
    }
    Close(']');
  }
  void Flush() {
    write_(buffer_);
    buffer_.clear();
  }

  const std::function<void(std::string_view)>& write_;
  std::string_view file_;  // the file the document is of; empty: none
  std::string buffer_;
  std::vector<bool> open_;  // for each open object or array: whether it has an item
};

// A part of the document as a value: its text, written by the one writer,
// read back.
template <class Describe>
Json ValueOf(Describe describe) {
  std::string text;
  const std::function<void(std::string_view)> keep = [&text](std::string_view piece) {
    text += piece;
  };
  TextWriter(keep).Document(describe);
  return Json::parse(text);
}

// Reads the fields of one object of the document into the record the
// description walks, with the type and range of each; refuses an object
// that holds a field the description does not give. The first rule the
// document breaks ends the reading: a reader reads nothing after it, and
// the reader of an object hands the first rule its fields broke up.
class Reader {
 public:
  Reader(const Json& value, std::string pointer, bool listing)
      : value_(value), pointer_(std::move(pointer)), listing_(listing) {}

  // Reads the object with `describe(reader)`, called twice: first to list
  // the keys it looks for, and refuse any other; then to read them. Answers
  // the first rule broken, if one was.
  template <class Describe>
  std::optional<ModelProblem> ReadObject(Describe describe) {
    if (!value_.is_object()) {
      return ModelProblem{pointer_.empty() ? "/" : pointer_, "not an object"};
    }
    Reader keys(value_, pointer_, true);
    describe(keys);
    for (const auto& [key, item] : value_.items()) {
      if (std::find(keys.keys_.begin(), keys.keys_.end(), key) == keys.keys_.end()) {
        return ModelProblem{pointer_ + "/" + key, "unknown field"};
      }
    }
    describe(*this);
    return problem_;
  }

  template <class T>
  void Integer(const char* key, T& field, int64_t low, int64_t high, Need need = Need::kRequired) {
    const Json* value = Field(key, need);
    if (const std::optional<int64_t> number =
            value != nullptr ? IntegerOf(*value, At(key), low, high) : std::nullopt) {
      field = static_cast<T>(*number);
    }
  }
  void Text(const char* key, std::string& field, int max, Need need = Need::kRequired) {
    const Json* value = Field(key, need);
    field = value != nullptr ? TextOf(*value, At(key), max).value_or("") : std::string();
  }
  template <int N>
  void Text(const char* key, FixedText<N>& field, int max, Need need = Need::kRequired) {
    std::string text;
    Text(key, text, max, need);
    field.AssignCut(text);
  }
  void Label(const char* key, std::string_view text, Need need) {
    const Json* value = Field(key, need);
    const std::optional<std::string> given =
        value != nullptr ? TextOf(*value, At(key), 8) : std::nullopt;
    if (given && *given != text) {
      Refuse(At(key), std::string("the ") + key + " here is \"" + std::string(text) + "\"");
    }
  }
  template <class Describe>
  void Object(const char* key, Describe describe, Need need = Need::kRequired) {
    if (const Json* value = Field(key, need); value != nullptr) {
      ReadChild(*value, At(key), describe);
    }
  }
  void Members(const char* key, MemberList& list) {
    const Json* items = ArrayField(key, Need::kRequired);
    for (size_t i = 0; items != nullptr && i < items->size() && !problem_; ++i) {
      ReadEntry((*items)[i], At(key) + "/" + std::to_string(i), list);
    }
  }
  void Views(const char* key, ApgBlock& names, ApgBlock& comments) {
    const Json* items = ArrayField(key, Need::kRequired);
    if (items != nullptr && items->size() != names.size()) {
      Refuse(At(key), std::to_string(items->size()) + " views, not 6");
      return;
    }
    for (size_t i = 0; items != nullptr && i < items->size() && !problem_; ++i) {
      ReadChild((*items)[i], At(key) + "/" + std::to_string(i),
                [&](auto& view) { DescribeView(view, i, names[i], comments[i]); });
    }
  }
  template <class Describe>
  void Optional(const char* key, std::optional<MemberList>& list, Describe describe) {
    const Json* value = Field(key, Need::kOptional);
    if (value == nullptr || value->is_null()) {
      return;
    }
    MemberList& read = list.emplace();
    ReadChild(*value, At(key), [&](auto& object) { describe(object, read); });
  }
  template <class T, class Describe>
  void Array(const char* key, std::vector<T>& items, Describe describe) {
    const Json* found =
        ArrayField(key, std::is_same_v<T, PartsSize> ? Need::kRequired : Need::kOptional);
    if (found == nullptr) {
      return;
    }
    const Json& array = *found;
    if (std::is_same_v<T, PartsSize> && array.size() > static_cast<size_t>(kInt16High)) {
      Refuse(At(key), std::to_string(array.size()) + " sizes is above 32767");
      return;
    }
    items.resize(array.size());
    for (size_t i = 0; i < array.size() && !problem_; ++i) {
      ReadChild(array[i], At(key) + "/" + std::to_string(i),
                [&](auto& item) { describe(item, items[i], i); });
    }
  }
  // How far --list read the file: not read back, but checked, so that a
  // document that says it is of a damaged file says so plainly.
  void Read(const char* key, PartsRead&) {
    const auto check = [](auto& read) {
      bool whole = true;
      read.Boolean("whole", whole);
      for (const char* other : {"part", "result", "offset", "size", "reason"}) {
        read.Ignored(other);
      }
    };
    Object(key, check, Need::kOptional);
  }
  void SizeRead(const char* key, ReadStatus&) {
    const auto check = [](auto& read) {
      read.Ignored("result");
      read.Ignored("reason");
    };
    Object(key, check, Need::kOptional);
  }
  void Format(const char* key, std::string_view format) {
    const Json* value = Field(key, Need::kOptional);
    const std::optional<std::string> given =
        value != nullptr ? StringOf(*value, At(key)) : std::nullopt;
    if (given && !ReadableFormat(*given, format)) {
      Refuse(At(key), "\"" + *given + "\" is not a format this partsc reads (" +
                          std::string(format) + " and older)");
    }
  }
  // A note is only checked to be a text.
  void Note(const char* key) {
    const Json* value = Field(key, Need::kOptional);
    if (value != nullptr) {
      TextOf(*value, At(key), std::numeric_limits<int>::max());
    }
  }
  void Boolean(const char* key, bool& field) {
    const Json* value = Field(key, Need::kRequired);
    if (value != nullptr && !value->is_boolean()) {
      Refuse(At(key), value->dump() + " is not true or false");
    } else if (value != nullptr) {
      field = value->get<bool>();
    }
  }
  void Ignored(const char* key) { keys_.push_back(key); }

 private:
  std::string At(const char* key) const { return pointer_ + "/" + key; }

  // Keeps the rule the document breaks, the first: nothing is read after
  // it. Answers that there is no value.
  std::nullopt_t Refuse(const std::string& pointer, const std::string& rule) {
    problem_ = ModelProblem{pointer, rule};
    return std::nullopt;
  }

  // The object `value`, at `pointer`, read with `describe`; what it broke
  // is this reader's too. Never called once a rule is broken.
  template <class Describe>
  void ReadChild(const Json& value, std::string pointer, Describe describe) {
    problem_ = Reader(value, std::move(pointer), false).ReadObject(describe);
  }

  // The member `key`, or null when it is missing and may be; always null
  // while the keys are listed, and once the document broke a rule.
  const Json* Field(const char* key, Need need) {
    keys_.push_back(key);
    if (listing_ || problem_) {
      return nullptr;
    }
    const auto found = value_.find(key);
    if (found != value_.end()) {
      return &*found;
    }
    if (need == Need::kRequired) {
      Refuse(At(key), "missing");
    }
    return nullptr;
  }

  // The member `key` as Field finds it; refused, and null, when it is not an
  // array.
  const Json* ArrayField(const char* key, Need need) {
    const Json* value = Field(key, need);
    if (value != nullptr && !value->is_array()) {
      Refuse(At(key), "not an array");
      return nullptr;
    }
    return value;
  }

  std::optional<std::string> StringOf(const Json& value, const std::string& pointer) {
    if (!value.is_string()) {
      return Refuse(pointer, value.dump() + " is not a string");
    }
    return value.get<std::string>();
  }

  // The bytes of {"latin1": "..."}: each character one byte.
  std::optional<std::string> Latin1Of(const Json& value, const std::string& pointer) {
    for (const auto& [key, item] : value.items()) {
      if (key != "latin1") {
        return Refuse(pointer + "/" + key, "unknown field");
      }
    }
    const std::string at = pointer + "/latin1";
    if (!value.contains("latin1")) {
      return Refuse(at, "missing");
    }
    const std::optional<std::string> text = StringOf(value["latin1"], at);
    std::optional<std::string> bytes = text ? Utf8ToLatin1(*text) : std::nullopt;
    if (text && !bytes) {
      return Refuse(at, "a character above U+00FF is not a Latin-1 byte");
    }
    return bytes;
  }

  std::optional<int64_t> IntegerOf(const Json& value, const std::string& pointer, int64_t low,
                                   int64_t high) {
    if (!value.is_number_integer()) {
      return Refuse(pointer, value.dump() + " is not an integer");
    }
    if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t{INT64_MAX}) {
      return Refuse(pointer, value.dump() + " is above " + std::to_string(high));
    }
    const auto number = value.get<int64_t>();
    if (number < low) {
      return Refuse(pointer, std::to_string(number) + " is below " + std::to_string(low));
    }
    if (number > high) {
      return Refuse(pointer, std::to_string(number) + " is above " + std::to_string(high));
    }
    return number;
  }

  // A text of at most `max` bytes: a string, or {"latin1": "..."}.
  std::optional<std::string> TextOf(const Json& value, const std::string& pointer, int max) {
    std::optional<std::string> bytes =
        value.is_object() ? Latin1Of(value, pointer) : StringOf(value, pointer);
    if (bytes && bytes->size() > static_cast<size_t>(max)) {
      return Refuse(pointer,
                    std::to_string(bytes->size()) + " bytes is above " + std::to_string(max));
    }
    return bytes;
  }

  // One entry of a member list, of the kind it names.
  void ReadEntry(const Json& value, const std::string& pointer, MemberList& list) {
    if (!value.is_object()) {
      Refuse(pointer, "not an object");
      return;
    }
    const auto kind = value.find("kind");
    if (kind == value.end()) {
      Refuse(pointer + "/kind", "missing");
      return;
    }
    const std::optional<std::string> name = TextOf(*kind, pointer + "/kind", 8);
    if (name == "spec") {
      SpecEntry& spec = list.specs.emplace_back();
      ReadChild(value, pointer, [&spec](auto& io) { DescribeSpec(io, spec); });
    } else if (name == "param") {
      ParamEntry& param = list.params.emplace_back();
      ReadChild(value, pointer, [&param](auto& io) { DescribeParam(io, param); });
    } else if (name) {
      Refuse(pointer + "/kind", "\"" + *name + "\" is neither \"spec\" nor \"param\"");
    }
  }

  const Json& value_;
  std::string pointer_;
  bool listing_;                         // whether the keys are only listed
  std::optional<ModelProblem> problem_;  // the first rule broken
  std::vector<std::string_view> keys_;   // the keys the description looks for
};

// The counts left out of a document, from what it holds.
void FillCounts(const Json& document, PartsModel& model) {
  const Json& header = document["header"];
  if (!header.contains("size_count")) {
    model.header.sizeCount = static_cast<int16_t>(model.sizes.size());
  }
  if (!header.contains("apg_comment_count")) {
    model.header.apgCommentCount = TextsGiven(model.apgComments);
  }
}

}  // namespace

std::string ReadStopReason(const PartsRead& read) {
  return read.Whole() ? std::string() : ReadReason(read.part, read.result);
}

Json TextJson(std::string_view bytes) {
  return ValueOf([bytes](TextWriter& out) { out.Text("text", bytes, 0); })["text"];
}

Json EntryJson(const SpecEntry& spec) {
  return ValueOf([&spec](TextWriter& out) { DescribeSpec(out, spec); });
}

Json EntryJson(const ParamEntry& param) {
  return ValueOf([&param](TextWriter& out) { DescribeParam(out, param); });
}

Json SizeJson(const PartsSize& size) {
  return ValueOf([&size](TextWriter& out) { DescribeSize(out, size, size.members); });
}

Json UnlistedJson(const UnlistedList& list) {
  return ValueOf([&list](TextWriter& out) { DescribeUnlisted(out, list); });
}

Json HeaderJson(const PartsHeader& header) {
  return ValueOf([&header](TextWriter& out) { DescribeHeader(out, header); });
}

Json ViewJson(const PartsModel& model, size_t view) {
  return ValueOf([&model, view](TextWriter& out) {
    DescribeView(out, view, model.apgNames[view], model.apgComments[view]);
  });
}

void WritePartsModelJson(const PartsModel& model,
                         const std::function<void(std::string_view)>& write,
                         std::string_view file) {
  const auto members = [&model](size_t slot) -> const MemberList& {
    return model.sizes[slot].members;
  };
  TextWriter(write, file).Document([&](TextWriter& out) { DescribeModel(out, model, members); });
}

void WritePartsFileJson(const PartsModel& frame, std::string_view bytes,
                        const std::function<void(std::string_view)>& write, std::string_view file) {
  // Each size's list is read again from the file, into one list of views of
  // its bytes.
  MemberViews scratch;
  const auto members = [&](size_t slot) -> const MemberViews& {
    ViewSizeMembers(bytes, frame, slot, scratch);
    return scratch;
  };
  TextWriter(write, file).Document([&](TextWriter& out) { DescribeModel(out, frame, members); });
}

std::string UnreadFileJson(std::string_view file, std::string_view reason) {
  Json document = Json::object();
  document["format"] = std::string(kPartsFileFormat);
  document["file"] = TextJson(file);
  document["error"] = TextJson(reason);
  return document.dump();
}

JsonModel PartsModelFromJson(const Json& document) {
  JsonModel read;
  if (document.is_object() && document.contains("error")) {
    read.problem = ModelProblem{"/error", "the document is of a file that could not be read"};
    return read;
  }
  PartsModel& model = read.model;
  read.problem = Reader(document, "", false).ReadObject([&model](auto& io) {
    DescribeModel(io, model, [&model](size_t i) -> MemberList& { return model.sizes[i].members; });
  });
  if (!read.problem) {
    FillCounts(document, model);
    PlaceMemberLists(model);
  }
  return read;
}

}  // namespace partsc
