#include "platform/ov_json.h"

#include <new>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/ov_escape.h"

namespace partsc {
namespace {

// The longest piece of the text a message quotes.
constexpr size_t kQuoted = 40;

// Builds the value of a parse from nlohmann/json's events (its SAX
// interface), keeping the limits: a handler that answers false ends the
// parse at once. nlohmann/json walks nested values with a stack of its own,
// so no depth of input deepens the C++ stack; this builder keeps one
// pointer for each open object or array.
template <class Json>
class Builder {
 public:
  using Integer = typename Json::number_integer_t;
  using Unsigned = typename Json::number_unsigned_t;
  using Float = typename Json::number_float_t;
  using String = typename Json::string_t;
  using Binary = typename Json::binary_t;

  Builder(Json& root, int maxDepth, std::string& error)
      : root_(root), maxDepth_(maxDepth), error_(error) {}

  bool null() { return Put(Json(nullptr)); }
  bool boolean(bool value) { return Put(Json(value)); }
  bool number_integer(Integer value) { return Put(Json(value)); }
  bool number_unsigned(Unsigned value) { return Put(Json(value)); }
  bool number_float(Float value, const String& /*text*/) { return Put(Json(value)); }
  bool string(String& value) { return Put(Json(std::move(value))); }
  bool binary(Binary& /*value*/) { return Refuse("binary values are no JSON"); }

  bool start_object(std::size_t /*count*/) { return Open(Json::object()); }
  bool start_array(std::size_t /*count*/) { return Open(Json::array()); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(String& name) {
    if (!keys_.back().insert(name).second) {
      return Refuse("the key \"" + Excerpt(name, kQuoted) + "\" is given twice in one object");
    }
    key_ = std::move(name);
    return true;
  }

  bool parse_error(std::size_t position, const std::string& lastRead,
                   const nlohmann::detail::exception& problem) {
    // The words of nlohmann/json, after its "[json.exception.parse_error.101] ",
    // with what it last read cut short.
    std::string what = problem.what();
    const size_t start = what.find("] ");
    what.erase(0, start == std::string::npos ? 0 : start + 2);
    const std::string read = "; last read: '";
    if (const size_t at = what.find(read); at != std::string::npos) {
      const size_t end = what.find("'", at + read.size() + lastRead.size());
      what.replace(at, end == std::string::npos ? std::string::npos : end + 1 - at,
                   read + Excerpt(lastRead, kQuoted) + "'");
    }
    // A number out of range is told without its place.
    if (what.find(" at line ") == std::string::npos) {
      what += " at byte " + std::to_string(position);
    }
    return Refuse(Excerpt(what, 8 * kQuoted));
  }

 private:
  bool Refuse(std::string reason) {
    if (error_.empty()) {
      error_ = std::move(reason);
    }
    return false;
  }

  // Puts `value` where the parse stands: the whole value, the next item of
  // the innermost array, or the member of the innermost object whose key
  // came last. Only the innermost open value grows, so the pointers to the
  // ones around it stay valid.
  Json* Place(Json&& value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json& parent = *open_.back();
    if (parent.is_array()) {
      auto& items = parent.template get_ref<typename Json::array_t&>();
      items.push_back(std::move(value));
      return &items.back();
    }
    auto& members = parent.template get_ref<typename Json::object_t&>();
    if constexpr (std::is_same_v<Json, nlohmann::ordered_json>) {
      // The key is new (see key()): appended without the linear search of
      // ordered_map's own insertion.
      auto& list = static_cast<typename Json::object_t::Container&>(members);
      list.emplace_back(std::move(key_), std::move(value));
      return &list.back().second;
    } else {
      return &members.emplace(std::move(key_), std::move(value)).first->second;
    }
  }

  bool Put(Json&& value) {
    Place(std::move(value));
    return true;
  }

  bool Open(Json&& container) {
    if (static_cast<int>(open_.size()) >= maxDepth_) {
      return Refuse("values nested deeper than " + std::to_string(maxDepth_));
    }
    open_.push_back(Place(std::move(container)));
    keys_.emplace_back();
    return true;
  }

  bool Close() {
    open_.pop_back();
    keys_.pop_back();
    return true;
  }

  Json& root_;
  int maxDepth_;
  std::string& error_;
  std::vector<Json*> open_;
  // The keys of each open object so far (empty for an array).
  std::vector<std::unordered_set<std::string>> keys_;
  std::string key_;
};

}  // namespace

template <class Json>
OvJsonParsed<Json> ParseJsonGuarded(std::string_view text, const OvJsonLimits& limits) {
  if (text.size() > limits.maxBytes) {
    return {{OvJsonResult::kRefused, "longer than " + std::to_string(limits.maxBytes) + " bytes"},
            Json()};
  }
  std::string error;
  try {
    // A value refused half-built is let go before the refusal is made.
    OvJsonParsed<Json> parsed;
    Builder<Json> builder(parsed.value, limits.maxDepth, error);
    if (Json::sax_parse(text.begin(), text.end(), &builder)) {
      return parsed;
    }
  } catch (const std::bad_alloc&) {
    return {{OvJsonResult::kNoMemory, "out of memory"}, Json()};
  }
  return {{OvJsonResult::kRefused, error.empty() ? "not JSON" : std::move(error)}, Json()};
}

template OvJsonParsed<nlohmann::json> ParseJsonGuarded(std::string_view, const OvJsonLimits&);
template OvJsonParsed<nlohmann::ordered_json> ParseJsonGuarded(std::string_view,
                                                               const OvJsonLimits&);

std::string Excerpt(std::string_view text, size_t max) {
  if (text.size() <= max) {
    return EscapeControls(text);
  }
  size_t cut = max;
  // Not inside a character of several bytes of UTF-8.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  return EscapeControls(text.substr(0, cut)) + "...";
}

}  // namespace partsc
