// JSON from outside partsc (a document given to --from-json, a message of a
// language server's client) parsed under limits, in time linear in the
// text: a refusal in words, never an exception, a crash or a runaway.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include "platform/ov_result.h"

namespace partsc {

// The limits of one parse.
struct OvJsonLimits {
  size_t maxBytes;  // the text's length
  int maxDepth;     // objects and arrays inside each other
};

// A parts file's JSON document: at most 256 MiB, nested at most 64 deep.
inline constexpr OvJsonLimits kJsonDocumentLimits{size_t{256} << 20, 64};

enum class OvJsonResult { kOk, kRefused, kNoMemory };
// A parsed value, or why there is none (it is then null).
template <class Json>
struct OvJsonParsed : OvResult<OvJsonResult> {
  Json value;
};

// Parses `text` as one JSON value. Refused, with the reason
// saying where and why, when the text is longer than `limits.maxBytes`,
// nests deeper than `limits.maxDepth`, gives a key twice in one object,
// holds a number beyond what a double holds, or is not JSON; the reason
// quotes at most a short, escaped piece of the text. kNoMemory when an
// allocation failed. An ordered_json keeps the keys of an object in the
// order of the text. Json is nlohmann::json or nlohmann::ordered_json.
template <class Json>
OvJsonParsed<Json> ParseJsonGuarded(std::string_view text, const OvJsonLimits& limits);

// At most `max` bytes of `text` for a message to quote: cut on a character
// boundary, with "..." where it was cut, and every control character shown
// as "\xHH".
std::string Excerpt(std::string_view text, size_t max);

}  // namespace partsc
