#include "platform/ov_escape.h"

#include <algorithm>
#include <cstdio>

#include "platform/ov_string_util.h"

namespace partsc {
namespace {

void AppendEscape(std::string& out, unsigned char u) {
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\x%02x", u);
  out += escape;
}

// How many bytes at `at` form a C1 control character (U+0080 to U+009F):
// two in UTF-8 text (0xC2 0x80 to 0xC2 0x9F), one byte 0x80 to 0x9F in any
// other text (Latin-1, where an 8-bit terminal takes 0x9B as CSI); 0 if none.
size_t C1ControlAt(std::string_view text, size_t at, bool utf8) {
  const auto u = static_cast<unsigned char>(text[at]);
  if (!utf8) {
    return u >= 0x80 && u <= 0x9f ? 1 : 0;
  }
  if (u != 0xc2 || at + 1 >= text.size()) {
    return 0;
  }
  const auto next = static_cast<unsigned char>(text[at + 1]);
  return next >= 0x80 && next <= 0x9f ? 2 : 0;
}

std::string Escaped(std::string_view text, bool forTerminal) {
  const bool utf8 = forTerminal && IsUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    const size_t c1 = forTerminal ? C1ControlAt(text, i, utf8) : 0;
    if (c1 != 0) {
      for (size_t k = 0; k < c1; ++k) {
        AppendEscape(out, static_cast<unsigned char>(text[i + k]));
      }
      i += c1 - 1;
      continue;
    }
    if ((u >= 0x20 && u != 0x7f) || c == '\t' || (forTerminal && c == '\n')) {
      out += c;
      continue;
    }
    AppendEscape(out, u);
  }
  return out;
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  return Escaped(text, false);
}

std::string EscapeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      AppendEscape(out, static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

std::string QuoteName(std::string_view name) {
  const bool utf8 = IsUtf8(name);
  bool plain = utf8 && !name.empty() && name.front() != ' ' && name.back() != ' ';
  for (size_t i = 0; plain && i < name.size(); ++i) {
    const auto u = static_cast<unsigned char>(name[i]);
    plain = u >= 0x20 && u != 0x7f && C1ControlAt(name, i, true) == 0;
  }
  if (plain) {
    return std::string(name);
  }
  std::string out = "\"";
  for (size_t i = 0; i < name.size(); ++i) {
    const auto u = static_cast<unsigned char>(name[i]);
    const size_t c1 = utf8 ? C1ControlAt(name, i, true) : 0;
    if (c1 != 0 || u < 0x20 || u == 0x7f || (!utf8 && u >= 0x80)) {
      for (size_t k = 0; k < std::max<size_t>(c1, 1); ++k) {
        AppendEscape(out, static_cast<unsigned char>(name[i + k]));
      }
      i += c1 == 0 ? 0 : c1 - 1;
      continue;
    }
    if (name[i] == '"' || name[i] == '\\') {
      out += '\\';
    }
    out += name[i];
  }
  return out + "\"";
}

std::string EscapeForTerminal(std::string_view text) {
  return Escaped(text, true);
}

}  // namespace partsc
