#include "lsp/keyword_help.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace partsc::lsp {
namespace {

// Made on first use: the help of $$APG names the view keywords of the table.
const std::array<Help, kKeywords.size()>& KeywordHelpTable() {
  static const std::string apgMeaning = [] {
    std::string text =
        "Starts the view block. Each line of it is view !name! \"comment\", where view is one of ";
    for (const std::string_view keyword : kViewKeywords) {
      text.append(keyword == kViewKeywords[0] ? "" : ", ").append(keyword);
    }
    return text +
           "; the APG name and comment keep 31 characters each. A parts file needs at "
           "least one view.";
  }();
  static const std::array<Help, kKeywords.size()> table = {{
      {KeywordText(Keyword::kParts), "!name! <a,b> \"comment\"",
       "The parts name (22 characters; it names the parts file), two numbers and a comment (64). "
       "It must be the first keyword line. A second $$PARTS line is reported and ignored."},
      {KeywordText(Keyword::kSpec), "<file,record>",
       "The spec file and the default spec record. In a size block a spec member whose record "
       "equals the default record is stored as no record."},
      {KeywordText(Keyword::kApg), "", apgMeaning},
      {KeywordText(Keyword::kCommon), "\"name\"",
       "Starts the common block: members that every size shares. The name (32) is kept only by a "
       "file without sizes, as its title."},
      {KeywordText(Keyword::kTitle), "\"title\"", "The title (64); the last one counts."},
      {KeywordText(Keyword::kLsort), "",
       "The size records are ordered by name length and then by name (the default). The last "
       "sort keyword counts."},
      {KeywordText(Keyword::kCsort), "",
       "The size records are ordered by name. The last sort keyword counts."},
      {KeywordText(Keyword::kNsort), "",
       "The size records keep the order of the source. The last sort keyword counts."},
      {KeywordText(Keyword::kSize), "\"name\" !title!",
       "Starts the block of one size: name (32, unique in the file) and title (32). At most 2048 "
       "sizes are counted; the member list of a further size is still written, but only a "
       "counted size of the same name points to it."},
      {KeywordText(Keyword::kEnd), "", "Ends the source: nothing after it is read."},
  }};
  return table;
}

constexpr std::string_view kViewMeaning =
    "A view of the $$APG block: its APG name between exclamation marks and an optional comment "
    "between double quotes, 31 characters each. Each view is defined once, and no two views "
    "share an APG name.";

// The help of each view, its keyword from the one table.
constexpr std::array<Help, kViewCount> MakeViewHelps() {
  std::array<Help, kViewCount> helps{};
  for (size_t i = 0; i < helps.size(); ++i) {
    helps[i] = {kViewKeywords[i], "!name! \"comment\"", kViewMeaning};
  }
  return helps;
}
constexpr std::array<Help, kViewCount> kViewHelp = MakeViewHelps();

constexpr Help kMacroHelp = {
    "t", "!name! (value)",
    "Defines a macro of up to 64 characters. A parameter text refers to it as {name}; a { "
    "followed by a name that is no macro gives a single {. Values are not expanded again. Macro "
    "lines are taken in file order in the first pass: the common block sees the macros above "
    "it, the size blocks see all of them."};
constexpr Help kSpecHelp = {
    "s", "[record] <number,flag> \"name\"",
    "A spec member: a number, a flag of 0 or 1, an optional record number and a name of up to "
    "63 characters."};
constexpr Help kParamHelp = {
    "p", "!name! (text) <first,second> \"comment\"",
    "A parameter member: a name of up to 6 characters, a parameter text of up to 64 (after "
    "macro expansion), a pair of flags of 0 or 1 and a comment of up to 63 characters. The text "
    "may be left out only when first is 1."};

}  // namespace

std::optional<Help> HelpOfKeyword(Keyword keyword) {
  const auto& table = KeywordHelpTable();
  const auto* found = std::ranges::find(table, KeywordText(keyword), &Help::label);
  return found == table.end() ? std::nullopt : std::optional<Help>(*found);
}

std::span<const Help> KeywordHelps() {
  return KeywordHelpTable();
}

std::span<const Help> ViewHelps() {
  return kViewHelp;
}

const Help& HelpOfView(int view) {
  return kViewHelp[static_cast<size_t>(view) % kViewHelp.size()];
}

const Help& HelpOfLine(LineKind kind) {
  return kind == LineKind::kMacro        ? kMacroHelp
         : kind == LineKind::kSpecMember ? kSpecHelp
                                         : kParamHelp;
}

}  // namespace partsc::lsp
