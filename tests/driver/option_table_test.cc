// The option table against what is made by hand from it: the manual page's
// SYNOPSIS, OPTIONS and settings keys, the README's synopsis and the lists
// of the bash completion say what the table says, no more and no less.
#include "driver/option_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc {
namespace {

using testing::ReadFile;

std::string SourceFile(const std::string& name) {
  return ReadFile(std::string(PARTSC_SOURCE_DIR) + "/" + name);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// One line of a manual page as text: the arguments of a font macro (".BR a
// b") run together, the font and other escapes gone.
std::string RoffText(const std::string& line) {
  std::string text = line;
  if (line.size() > 1 && line[0] == '.' && std::isupper(static_cast<unsigned char>(line[1]))) {
    const size_t blank = line.find(' ');
    const bool joined = blank == 3;  // .B and .I keep their blanks
    text.clear();
    bool quoted = false;
    for (size_t i = blank == std::string::npos ? line.size() : blank + 1; i < line.size(); ++i) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else if (line[i] != ' ' || quoted || !joined) {
        text += line[i];
      }
    }
  }
  for (const char* escape : {"\\fB", "\\fI", "\\fR", "\\fP", "\\c", "\\&"}) {
    text = ReplaceAll(text, escape, "");
  }
  return ReplaceAll(ReplaceAll(ReplaceAll(text, "\\-", "-"), "\\e", "\\"), "\\ ", " ");
}

// The lines of the manual page from the heading `from` up to the next one.
std::vector<std::string> Section(const std::string& page, const std::string& from) {
  std::vector<std::string> lines;
  std::istringstream in(page.substr(page.find(".SH " + from)));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line) && !line.starts_with(".SH ")) {
    lines.push_back(line);
  }
  return lines;
}

std::string Squeezed(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' || c == '\n' || c == '\t') {
      if (!out.empty() && out.back() != ' ') {
        out += ' ';
      }
      continue;
    }
    out += c;
  }
  return out.ends_with(' ') ? out.substr(0, out.size() - 1) : out;
}

// The words of `text` that are options: "-c", "--control=CONTROL", "-Wall".
std::vector<std::string> OptionWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : text + " ") {
    if (c == ' ' || c == ',' || c == '[' || c == ']' || c == '|') {
      if (word.size() > 1 && word[0] == '-') {
        words.push_back(word);
      }
      word.clear();
      continue;
    }
    word += c;
  }
  return words;
}

// The option of the table a word names, or null.
const OptionSpec* FindOption(std::string_view word, std::optional<std::string_view>& attached) {
  const std::optional<size_t> index = partsc::FindOption(OptionSpellings(), word, attached);
  return index ? &OptionTable()[*index] : nullptr;
}

// The usage forms, each after "partsc".
std::vector<std::string> Forms() {
  std::vector<std::string> forms;
  for (const UsageForm& form : UsageForms()) {
    forms.push_back("partsc " + std::string(form.form));
  }
  return forms;
}

// The usage forms name every option of their action and no other; an option
// of every action (-q) in one form at least. The last form is that of the
// options that print and exit.
TEST(OptionTable, EachFormNamesTheOptionsOfItsAction) {
  const OptionSpec& help = OptionOf(OptionId::kHelp);
  for (const OptionSpec& option : OptionTable()) {
    SCOPED_TRACE(OptionName(option));
    const bool everywhere = option.actions == help.actions;
    int named = 0;
    for (const UsageForm& form : UsageForms()) {
      bool here = false;
      for (const std::string& word : OptionWords(std::string(form.form))) {
        std::optional<std::string_view> attached;
        here = here || FindOption(word, attached) == &option;
      }
      named += here ? 1 : 0;
      if (&form == &UsageForms().back()) {
        EXPECT_EQ(here, option.actions == help.actions && option.settingsKey.empty() &&
                            option.longName != "--no-quiet");
        continue;
      }
      const bool goes = (option.actions & ActionBit(form.action)) != 0;
      EXPECT_TRUE(goes || !here) << form.form;
      EXPECT_TRUE(here || !goes || everywhere) << form.form;
    }
    EXPECT_GT(named, 0);
  }
}

// The SYNOPSIS holds the forms, each option of OPTIONS is one of the table
// with the value it takes, every option of the table has its entry, and the
// settings keys of the table are those the page describes.
TEST(OptionTable, TheManualPageSaysWhatTheTableSays) {
  const std::string page = SourceFile("man/partsc.1");
  std::vector<std::string> synopsis(1);
  for (const std::string& line : Section(page, "SYNOPSIS")) {
    if (line == ".br") {
      synopsis.emplace_back();
    } else if (line.starts_with(".")) {
      continue;
    } else {
      synopsis.back().append(" ").append(RoffText(line));
    }
  }
  std::transform(synopsis.begin(), synopsis.end(), synopsis.begin(), Squeezed);
  EXPECT_EQ(synopsis, Forms());

  const std::vector<std::string> options = Section(page, "OPTIONS");
  std::set<const OptionSpec*> described;
  for (size_t i = 0; i + 1 < options.size(); ++i) {
    if (options[i] != ".TP" || options[i + 1].find("\\-") == std::string::npos) {
      continue;
    }
    const std::string tag = RoffText(options[i + 1]);
    for (const std::string& word : OptionWords(tag)) {
      std::optional<std::string_view> attached;
      const OptionSpec* option = FindOption(word, attached);
      ASSERT_NE(option, nullptr) << tag;
      described.insert(option);
      // The value it takes, and what follows it (without the brackets of
      // what may be left out).
      std::string follows = std::string(option->argument) + std::string(option->operands);
      std::erase_if(follows, [](char c) { return c == '[' || c == ']'; });
      EXPECT_NE(tag.find(follows), std::string::npos) << tag;
    }
  }
  const std::string settings = page.substr(page.find(".SH SETTINGS FILE"));
  for (const OptionSpec& option : OptionTable()) {
    EXPECT_TRUE(described.contains(&option)) << OptionName(option);
    if (!option.settingsKey.empty()) {
      EXPECT_NE(settings.find(".B " + std::string(option.settingsKey) + "\n"), std::string::npos)
          << option.settingsKey;
    }
  }
}

// The README's synopsis is the help's usage.
TEST(OptionTable, TheReadmeShowsTheUsageOfTheHelp) {
  std::string usage;
  for (const UsageForm& form : UsageForms()) {
    usage += UsageLines(usage.empty() ? "Usage: " : "   or: ", "partsc", form.form);
  }
  std::string indented;
  std::istringstream in(usage);
  for (std::string line; std::getline(in, line);) {
    indented += "    " + line + "\n";
  }
  EXPECT_NE(SourceFile("README.md").find("\n\n" + indented + "\n"), std::string::npos) << usage;
}

// The words of the completion's list `name` ("_partsc_options").
std::set<std::string> CompletionList(const std::string& script, const std::string& name) {
  const size_t start = script.find("\n" + name + "=\"");
  EXPECT_NE(start, std::string::npos) << name;
  const size_t open = script.find('"', start);
  std::istringstream words(script.substr(open + 1, script.find('"', open + 1) - open - 1));
  return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

// The completion offers every option of the table as it is spelt (a choice
// with its "=", -W as -Wall), the values of each as the table says, and
// takes the value of each short option with one attached.
TEST(OptionTable, TheCompletionOffersWhatTheTableHas) {
  const std::string script = SourceFile("completions/partsc.bash");
  std::set<std::string> spellings;
  std::set<std::string> files;
  std::set<std::string> directories;
  std::string attached;
  for (const OptionSpec& option : OptionTable()) {
    for (const std::string_view view : {option.shortName, option.longName}) {
      const std::string name(view);
      if (name.empty()) {
        continue;
      }
      if (option.value == OptionValue::kFile) {
        files.insert(name);
      } else if (option.value == OptionValue::kDirectory) {
        directories.insert(name);
      }
      const bool valued = files.contains(name) || directories.contains(name);
      attached += valued && name.size() == 2 ? name.substr(1) : "";
      spellings.insert(option.value == OptionValue::kWarning  ? "-Wall"
                       : option.value == OptionValue::kChoice ? name + "="
                                                              : name);
    }
    if (option.value == OptionValue::kChoice) {
      const std::string list =
          "_partsc" + ReplaceAll(std::string(option.longName.substr(1)), "-", "_") + "_choices";
      std::istringstream choices{std::string(option.choices)};
      EXPECT_EQ(CompletionList(script, list),
                std::set<std::string>(std::istream_iterator<std::string>(choices),
                                      std::istream_iterator<std::string>()));
    }
  }
  EXPECT_EQ(CompletionList(script, "_partsc_options"), spellings);
  EXPECT_EQ(CompletionList(script, "_partsc_file_options"), files);
  EXPECT_EQ(CompletionList(script, "_partsc_directory_options"), directories);
  EXPECT_NE(script.find("\n    -[" + attached + "]?*)\n"), std::string::npos) << attached;
}

}  // namespace
}  // namespace partsc
