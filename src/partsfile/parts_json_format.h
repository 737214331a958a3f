// What the JSON documents say they are, under "format": their name and the
// version MAJOR.MINOR of their shape. A minor version may add a key that a
// reader of an older one does not know; a major version is needed for any
// other change (man 5 partsc, THE JSON DOCUMENT).
#pragma once

#include <string_view>

namespace partsc {

inline constexpr std::string_view kPartsFileFormat = "partsc-parts-file/1.0";
inline constexpr std::string_view kPartsDiffFormat = "partsc-parts-diff/1.0";

// Whether a document of `format` can be read as one of `ours`: the same name
// and major version, and a minor version not above ours.
constexpr bool ReadableFormat(std::string_view format, std::string_view ours) {
  const size_t dot = ours.rfind('.');
  if (format.size() < dot + 2 || format.substr(0, dot + 1) != ours.substr(0, dot + 1)) {
    return false;
  }
  const std::string_view minor = format.substr(dot + 1);
  const std::string_view ourMinor = ours.substr(dot + 1);
  for (const char c : minor) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return minor.size() < ourMinor.size() || (minor.size() == ourMinor.size() && minor <= ourMinor);
}

}  // namespace partsc
