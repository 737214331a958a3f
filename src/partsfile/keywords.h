// The words of the parts source language, each listed once: the ten
// keywords, the six view keywords and the keyword of each sort mode. They
// also name what a parts file holds by number: a view by its slot, a sort
// mode by its value. The JSON document labels its views with them; the
// compiler, the language server, the listing, --diff and the decompiler
// take them from here.
#pragma once

#include <partsc/model.h>

#include <array>
#include <string>
#include <string_view>
#include <tuple>

namespace partsc {

enum class Keyword {
  kNone,
  kParts,
  kSpec,
  kApg,
  kCommon,
  kTitle,
  kLsort,
  kCsort,
  kNsort,
  kSize,
  kEnd
};

// The text of each keyword, in the order of Keyword after kNone. No keyword
// begins with another, so a line begins with at most one.
inline constexpr std::array<std::string_view, 10> kKeywords = {
    "$$PARTS", "$$SPEC",  "$$APG",   "$$COMMON", "$$TITLE",
    "$$LSORT", "$$CSORT", "$$NSORT", "$$SIZE",   "$$END"};

// The view keywords: a keyword's position is the view's index everywhere
// (the APG name and comment slots, the listing, the JSON document).
inline constexpr int kViewCount = static_cast<int>(std::tuple_size_v<ApgBlock>);
inline constexpr std::array<std::string_view, kViewCount> kViewKeywords = {
    "$TOP", "$BOTTOM", "$FRONT", "$BACK", "$LEFT", "$RIGHT"};

// The keyword of each sort mode: 0 by length then name, 1 by name, 2 as
// written.
inline constexpr std::array<Keyword, 3> kSortKeywords = {Keyword::kLsort, Keyword::kCsort,
                                                         Keyword::kNsort};

// Whether a line is a keyword line: it begins with "$$".
constexpr bool IsKeywordLine(std::string_view line) {
  return line.size() >= 2 && line[0] == '$' && line[1] == '$';
}

// The keyword a line begins with, compared over the keyword's own length.
constexpr Keyword KeywordOf(std::string_view line) {
  for (size_t i = 0; i < kKeywords.size(); ++i) {
    if (line.substr(0, kKeywords[i].size()) == kKeywords[i]) {
      return static_cast<Keyword>(i + 1);
    }
  }
  return Keyword::kNone;
}

constexpr std::string_view KeywordText(Keyword keyword) {
  return keyword == Keyword::kNone ? std::string_view()
                                   : kKeywords[static_cast<size_t>(keyword) - 1];
}

// A keyword as a string, for the lines the listing and --diff put together.
inline std::string KeywordString(Keyword keyword) {
  return std::string(KeywordText(keyword));
}

// The view index of the view keyword a line begins with, or -1.
constexpr int ViewOf(std::string_view line) {
  for (int i = 0; i < kViewCount; ++i) {
    const std::string_view keyword = kViewKeywords[static_cast<size_t>(i)];
    if (line.substr(0, keyword.size()) == keyword) {
      return i;
    }
  }
  return -1;
}

// The keyword of a sort mode; the listing writes any mode above 1 as the
// last one.
constexpr std::string_view SortKeyword(int sortMode) {
  return KeywordText(kSortKeywords[sortMode == 0 ? 0 : sortMode == 1 ? 1 : 2]);
}

}  // namespace partsc
