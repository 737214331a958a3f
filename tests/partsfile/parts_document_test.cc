// The published schema of the JSON document says what the description of
// the document says: each object of the schema has the fields the
// description walks, each of its type and range, required when the
// description needs it, and no other field.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "partsfile/parts_document.h"

namespace partsc {
namespace {

using nlohmann::json;

class SchemaCheck {
 public:
  SchemaCheck(const json& schema, const json& object, std::string where)
      : schema_(schema), object_(Resolve(object)), where_(std::move(where)) {}
  ~SchemaCheck() {
    const json properties = object_.value("properties", json::object());
    for (const auto& [key, property] : properties.items()) {
      EXPECT_TRUE(seen_.count(key) == 1) << where_ << "/" << key << ": not in the description";
    }
  }

  template <class T>
  void Integer(const char* key, const T&, int64_t low, int64_t high, Need need = Need::kRequired) {
    const json property = Property(key, need);
    EXPECT_EQ(property.value("type", ""), "integer") << where_ << "/" << key;
    EXPECT_EQ(property.value("minimum", int64_t{-1}), low) << where_ << "/" << key;
    EXPECT_EQ(property.value("maximum", int64_t{-1}), high) << where_ << "/" << key;
  }
  template <class T>
  void Text(const char* key, const T&, int max, Need need = Need::kRequired) {
    const json property = object_["properties"][key];
    Property(key, need);
    EXPECT_EQ(property.value("$ref", ""), "#/$defs/text" + std::to_string(max))
        << where_ << "/" << key;
  }
  void Label(const char* key, std::string_view text, Need need) {
    const json property = Property(key, need);
    EXPECT_TRUE(property.value("const", std::string(text)) == text ||
                property.value("type", "") == "string")
        << where_ << "/" << key;
  }
  template <class Describe>
  void Object(const char* key, Describe describe) {
    SchemaCheck inner(schema_, Property(key, Need::kRequired), where_ + "/" + key);
    describe(inner);
  }
  template <class List>
  void Members(const char* key, const List&) {
    const json items = Property(key, Need::kRequired)["items"]["oneOf"];
    ASSERT_EQ(items.size(), 2u) << where_ << "/" << key;
    SchemaCheck spec(schema_, items[0], where_ + "/spec");
    DescribeSpec(spec, spec_);
    SchemaCheck param(schema_, items[1], where_ + "/param");
    DescribeParam(param, param_);
  }
  template <class Block>
  void Views(const char* key, const Block& names, const Block&) {
    const json views = Property(key, Need::kRequired);
    EXPECT_EQ(views.value("minItems", 0), 6);
    const json prefix = views["prefixItems"];
    ASSERT_EQ(prefix.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(prefix[i]["properties"]["view"]["const"], kViewKeywords[i]);
      SchemaCheck view(schema_, prefix[i], where_ + "/views/" + std::to_string(i));
      DescribeView(view, i, names[i], names[i]);
    }
  }
  template <class T, class Describe>
  void Optional(const char* key, const std::optional<T>&, Describe describe) {
    const json property = Property(key, Need::kOptional);
    SchemaCheck inner(schema_, property["oneOf"][1], where_ + "/" + key);
    describe(inner, list_);
  }
  template <class T, class Describe>
  void Array(const char* key, const std::vector<T>&, Describe describe) {
    const json property =
        Property(key, std::string(key) == "sizes" ? Need::kRequired : Need::kOptional);
    EXPECT_EQ(property.value("type", ""), "array");
    SchemaCheck item(schema_, property["items"], where_ + "/" + key + "/items");
    T value{};
    describe(item, value, 0);
  }
  template <class T>
  void Read(const char* key, const T&) {
    Property(key, Need::kOptional);
  }
  template <class T>
  void SizeRead(const char* key, const T&) {
    Property(key, Need::kOptional);
  }
  void Format(const char* key, std::string_view format) {
    const std::string pattern = Property(key, Need::kOptional).value("pattern", "");
    const std::string major(format.substr(0, format.rfind('.')));
    EXPECT_EQ(pattern, "^" + major + "\\.[0-9]+$") << where_ << "/" << key;
  }
  void Note(const char* key) { Property(key, Need::kOptional); }

 private:
  // A node with its $ref put in: the definition, its properties overlaid
  // with the node's own.
  json Resolve(const json& node) const {
    if (!node.is_object() || !node.contains("$ref") ||
        !std::string(node["$ref"]).starts_with("#/$defs/")) {
      return node;
    }
    const std::string ref = node["$ref"];
    json resolved = schema_["$defs"][ref.substr(8)];
    const json own = node.value("properties", json::object());
    for (const auto& [key, value] : own.items()) {
      resolved["properties"][key].update(value);
    }
    return resolved;
  }

  // The property `key`, resolved, and whether it is required.
  json Property(const char* key, Need need) {
    seen_.insert(key);
    const json properties = object_.value("properties", json::object());
    EXPECT_TRUE(properties.contains(key)) << where_ << "/" << key << ": not in the schema";
    const json required = object_.value("required", json::array());
    const bool isRequired = std::find(required.begin(), required.end(), key) != required.end();
    EXPECT_EQ(isRequired, need == Need::kRequired) << where_ << "/" << key;
    return properties.contains(key) ? Resolve(properties[key]) : json::object();
  }

  const json& schema_;
  json object_;
  std::string where_;
  std::set<std::string> seen_;
  SpecEntry spec_;
  ParamEntry param_;
  MemberList list_;
};

TEST(PartsDocument, TheSchemaSaysWhatTheDescriptionSays) {
  std::ifstream in(std::string(PARTSC_SOURCE_DIR) + "/schema/parts-file.schema.json");
  const json schema = json::parse(in);
  const PartsModel model;
  const MemberList none;
  SchemaCheck root(schema, schema, "");
  DescribeModel(root, model, [&none](size_t) -> const MemberList& { return none; });
}

}  // namespace
}  // namespace partsc
