// A parts file's model as a JSON document, and the model of such a document.
//
// Every field of the file has a member of the document. A text is a JSON
// string when its bytes are valid UTF-8; any other bytes are given as
// {"latin1": "..."}, each byte the character of the same number (0xE9 is
// "é"), so that every byte sequence comes back unchanged.
#pragma once

#include <partsc/model.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "partsfile/parts_json_format.h"
#include "platform/ov_json.h"

namespace partsc {

using Json = nlohmann::ordered_json;

// A text as the document holds it: a string, or {"latin1": ...}.
Json TextJson(std::string_view bytes);

// Why reading stopped where `read` says it did ("truncated size list");
// empty for a file read whole.
std::string ReadStopReason(const PartsRead& read);

// Parts of the document, as its description gives them: one entry of a
// member list, one size, one list no size record points to, the header, one
// view.
Json EntryJson(const SpecEntry& spec);
Json EntryJson(const ParamEntry& param);
Json SizeJson(const PartsSize& size);
Json UnlistedJson(const UnlistedList& list);
Json HeaderJson(const PartsHeader& header);
Json ViewJson(const PartsModel& model, size_t view);

// The document of `model` (header, views, common, unlisted, read, sizes) as
// the text Json::dump() gives, written without building the document: one
// top-level field at a time and each size on its own, handed to `write` in
// pieces of about 64 KiB; with a `file`, which names the file the document
// is of.
void WritePartsModelJson(const PartsModel& model,
                         const std::function<void(std::string_view)>& write,
                         std::string_view file = {});

// The same text for the parts file `bytes`, whose DecodePartsFrame is
// `frame`: each size's member list is read from `bytes` when its turn comes,
// into one list, so that the lists of the file are never in memory together.
void WritePartsFileJson(const PartsModel& frame, std::string_view bytes,
                        const std::function<void(std::string_view)>& write,
                        std::string_view file = {});

// The document of a file that could not be read at all, one line without
// its line feed: {"format", "file", "error": REASON}.
std::string UnreadFileJson(std::string_view file, std::string_view reason);

// The model a document describes, or the first value that is not of its
// field's type and range, by its pointer and the rule it breaks
// ("/sizes/3/members/0/number", "300 is above 256"); `model` is then
// unspecified.
struct JsonModel {
  PartsModel model;
  std::optional<ModelProblem> problem;
};

// A count left out is the count of what the document holds; a count given is
// kept as given, for the rule to judge. The offsets give the order of the
// member lists, which are laid end to end again: the common list first, the
// others by their offsets, and those left out after them in document order.
JsonModel PartsModelFromJson(const Json& document);

}  // namespace partsc
