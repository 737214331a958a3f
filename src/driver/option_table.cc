#include "driver/option_table.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <string>
#include <utility>
#include <vector>

namespace partsc {
namespace {

constexpr ActionSet kCompile = ActionBit(ActionId::kCompile);
constexpr ActionSet kCheck = ActionBit(ActionId::kCheck);
constexpr ActionSet kList = ActionBit(ActionId::kList);
constexpr ActionSet kDecompile = ActionBit(ActionId::kDecompile);
constexpr ActionSet kFromJson = ActionBit(ActionId::kFromJson);
constexpr ActionSet kDiff = ActionBit(ActionId::kDiff);
constexpr ActionSet kExplain = ActionBit(ActionId::kExplain);
constexpr ActionSet kInit = ActionBit(ActionId::kInit);
constexpr ActionSet kLsp = ActionBit(ActionId::kLsp);
constexpr ActionSet kEvery =
    kCompile | kCheck | kList | kDecompile | kFromJson | kDiff | kExplain | kInit | kLsp;
// The runs that compile sources and report their diagnostics.
constexpr ActionSet kCompiles = kCompile | kCheck;

using V = OptionValue;
using Id = OptionId;

// Id, short and long name, value, its kind and choices, operands, settings
// key, actions, help. In the order of the help; each at the place of its id.
constexpr std::array<OptionSpec, static_cast<size_t>(Id::kVersion) + 1> kOptions = {{
    {Id::kDirectory, "-C", "", "DIR", V::kDirectory, "", "", "", kEvery & ~kExplain,
     "change to the directory DIR before anything else; several are taken in "
     "turn"},
    {Id::kSettings, "-p", "", "SETTINGS", V::kFile, "", "", "",
     kCompiles | kList | kDecompile | kDiff | kLsp,
     "read the directories of the file classes and the everyday mode (the keys named below) from "
     "the settings file SETTINGS"},
    {Id::kControl, "-c", "--control", "CONTROL", V::kFile, "", "", "", kCompiles,
     "compile the control file CONTROL without asking for its name"},
    {Id::kStrict, "", "--strict", "", V::kNone, "", "", "#PARTS:STRICT#", kCompiles,
     "end with 1 when a source failed, or nothing compiled, or an output could not be written"},
    {Id::kNoStrict, "", "--no-strict", "", V::kNone, "", "", "", kCompiles,
     "do not, whatever the settings file says"},
    {Id::kAtomic, "", "--atomic", "", V::kNone, "", "", "#PARTS:ATOMIC#", kCompiles,
     "put each parts file in place only when it compiled and listed: a source that fails keeps "
     "the previous file and its backup"},
    {Id::kNoAtomic, "", "--no-atomic", "", V::kNone, "", "", "", kCompiles,
     "write each parts file in place, whatever the settings file says"},
    {Id::kQuiet, "-q", "--quiet", "", V::kNone, "", "", "#PARTS:QUIET#", kEvery,
     "print no progress lines, only diagnostics: a run that went well says nothing"},
    {Id::kNoQuiet, "", "--no-quiet", "", V::kNone, "", "", "", kEvery,
     "print them, whatever the settings file says"},
    {Id::kChanges, "", "--changes", "", V::kNone, "", "", "", kCompiles,
     "print, for each parts file written, what changed against its backup"},
    {Id::kRunLog, "", "--run-log", "FILE", V::kFile, "", "", "#PARTS:RUNLOG#", kCompiles,
     "write the run log to FILE instead of TALVIREN.LOG"},
    {Id::kErrorLog, "", "--error-log", "FILE", V::kFile, "", "", "#PARTS:ERRORLOG#", kCompiles,
     "append the error log to FILE instead of CONTROL.LOG"},
    {Id::kCheck, "", "--check", "", V::kNone, "", "[SOURCE...]", "", kCheck,
     "run as the run of each SOURCE (without one, of the control file) would, every output "
     "held in memory: write no file at all; end as --strict would"},
    {Id::kKeepGoing, "", "--keep-going", "", V::kNone, "", "", "", kCheck,
     "with --check: read on after the error that ends a source's compile and report the later "
     "mistakes too, each marked as found after the compile stopped"},
    {Id::kList, "", "--list", "", V::kNone, "", "FILE...", "", kList,
     "print the listing of each parts file FILE"},
    {Id::kFormat, "", "--format", "FORMAT", V::kChoice, "listing lines text json", "", "",
     kList | kDiff,
     "with --list: listing (the default), lines (the lines --diff compares, without path or "
     "date: a textconv for git) or json, one JSON document a line; with --diff: text (the "
     "default) or json"},
    {Id::kDecompile, "", "--decompile", "FILE", V::kFile, "", "", "", kDecompile,
     "write a parts source that compiles back to the parts file FILE"},
    {Id::kFromJson, "", "--from-json", "FILE", V::kFile, "", "", "", kFromJson,
     "build the parts file -o OUT from the JSON document FILE"},
    {Id::kOutput, "-o", "--output", "OUT", V::kFile, "", "", "", kDecompile | kFromJson,
     "the file --decompile (else standard output) or --from-json writes; an existing OUT is "
     "kept"},
    {Id::kForce, "", "--force", "", V::kNone, "", "", "", kDecompile | kFromJson,
     "with -o: overwrite an existing OUT"},
    {Id::kDiff, "", "--diff", "", V::kNone, "", "OLD NEW", "", kDiff,
     "say what changed from OLD to NEW, parts files or sources; end with 0 when they are the "
     "same, 1 when they differ, 2 on trouble; also takes the 7 or 9 arguments git gives an "
     "external diff, and then ends with 0 unless in trouble"},
    {Id::kLabel, "", "--label", "LABEL", V::kFile, "", "", "", kDiff,
     "with --diff: name OLD in the text's header, and given again NEW (as diff -L does)"},
    {Id::kDiagnosticsFormat, "", "--diagnostics-format", "FORMAT", V::kChoice, "classic gnu json",
     "", "#PARTS:DIAGNOSTICS#", kCompiles,
     "classic: the error log's lines on the console (the default); gnu or json: one line each on "
     "standard error instead"},
    {Id::kSarif, "", "--sarif", "FILE", V::kFile, "", "", "#PARTS:SARIF#", kCompiles,
     "also write the diagnostics as a SARIF 2.1.0 log"},
    {Id::kNoSarif, "", "--no-sarif", "", V::kNone, "", "", "", kCompiles,
     "write none, whatever the settings file says"},
    {Id::kSarifBase, "", "--sarif-base", "DIR", V::kDirectory, "", "", "#PARTS:SARIFBASE#",
     kCompiles, "make the SARIF log's file URIs relative to DIR, not to where partsc started"},
    {Id::kWarning, "-W", "", "NAME", V::kWarning, "", "", "#PARTS:WARNINGS#", kCompiles,
     "warn about what compiles without a word: -Wall about all, -WNAME about one, -Wno-NAME not "
     "about it"},
    {Id::kWarningsAreErrors, "-Werror", "", "", V::kNone, "", "", "#PARTS:WERROR#", kCompiles,
     "make every warning an error: a source that warned has failed"},
    {Id::kNoWarningsAreErrors, "-Wno-error", "", "", V::kNone, "", "", "", kCompiles,
     "do not, whatever the settings file says"},
    {Id::kExplain, "", "--explain", "NAME", V::kDiagnostic, "", "", "", kExplain,
     "explain a diagnostic: NAME is its name, its message or a piece of one; all explains every "
     "one"},
    {Id::kInit, "", "--init", "", V::kNone, "", "[DIR]", "", kInit,
     "start a library in DIR (default: here): src/, parts/, a settings file ORVA.SET with the "
     "everyday mode and a control file LIBRARY.CTL; overwrites nothing"},
    {Id::kLsp, "", "--lsp", "", V::kNone, "", "", "", kLsp,
     "serve the Language Server Protocol on standard input and output, for an editor"},
    {Id::kHelp, "-h", "--help", "", V::kNone, "", "", "", kEvery, "print this help and exit"},
    {Id::kVersion, "", "--version", "", V::kNone, "", "", "", kEvery, "print the version and exit"},
}};

constexpr bool InIdOrder() {
  for (size_t i = 0; i < kOptions.size(); ++i) {
    if (static_cast<size_t>(kOptions[i].id) != i) {
      return false;
    }
  }
  return true;
}
static_assert(InIdOrder(), "the option table lists its options in the order of their ids");

// The forms of the help, the first of each action its own, with the option
// that starts it (none for the compile of a control file); the last is the
// form of the options that print and exit.
constexpr std::array<UsageForm, 10> kForms = {{
    {ActionId::kCompile, std::nullopt,
     "[-C DIR] [-p SETTINGS] [-c CONTROL] [--strict | --no-strict] [--atomic | --no-atomic] "
     "[-q | --no-quiet] [--changes] [--run-log FILE] [--error-log FILE] "
     "[--diagnostics-format=FORMAT] [--sarif FILE | --no-sarif] [--sarif-base DIR] [-WNAME...] "
     "[-Werror | -Wno-error]"},
    {ActionId::kCheck, Id::kCheck,
     "[-C DIR] [-p SETTINGS] --check [-c CONTROL | SOURCE...] [--keep-going] "
     "[--strict | --no-strict] "
     "[--atomic | --no-atomic] [--changes] [--run-log FILE] [--error-log FILE] "
     "[--diagnostics-format=FORMAT] [--sarif FILE | --no-sarif] [--sarif-base DIR] [-WNAME...] "
     "[-Werror | -Wno-error]"},
    {ActionId::kList, Id::kList, "[-C DIR] [-p SETTINGS] --list [--format=FORMAT] FILE..."},
    {ActionId::kDecompile, Id::kDecompile,
     "[-C DIR] [-p SETTINGS] --decompile FILE [-o OUT [--force]]"},
    {ActionId::kFromJson, Id::kFromJson, "[-C DIR] --from-json FILE -o OUT [--force]"},
    {ActionId::kDiff, Id::kDiff,
     "[-C DIR] [-p SETTINGS] --diff [--format=FORMAT] [--label OLD-LABEL [--label NEW-LABEL]] "
     "OLD NEW"},
    {ActionId::kExplain, Id::kExplain, "--explain NAME"},
    {ActionId::kInit, Id::kInit, "[-C DIR] --init [DIR]"},
    {ActionId::kLsp, Id::kLsp, "[-C DIR] [-p SETTINGS] --lsp"},
    {ActionId::kCompile, std::nullopt, "-h | --help | --version"},
}};

constexpr size_t kUsageWidth = 79;
constexpr size_t kUsageIndent = 10;
constexpr size_t kHelpColumn = 27;

// `text` broken into lines that fit `width` when its first line starts at
// column `first`; every line but the first starts with `indent` blanks. It
// breaks at its blanks, or with `outside` only at the blanks outside
// brackets (a usage form keeps "[-o OUT]" whole).
std::string Wrapped(std::string_view text, size_t first, size_t indent, size_t width,
                    bool outside = false) {
  std::string out;
  size_t lineStart = 0;
  size_t column = first;
  size_t last = 0;  // the break taken last, or 0
  int depth = 0;
  // The end of the text is the last place to look back from.
  for (size_t at = 0; at <= text.size(); ++at) {
    const char c = at < text.size() ? text[at] : ' ';
    depth += c == '[' ? 1 : c == ']' ? -1 : 0;
    if (c != ' ' || (outside && depth != 0 && at < text.size())) {
      continue;
    }
    if (column + (at - lineStart) > width && last > lineStart) {
      out.append(text.substr(lineStart, last - lineStart)).append("\n").append(indent, ' ');
      lineStart = last + 1;
      column = indent;
    }
    last = at;
  }
  return out.append(text.substr(lineStart));
}

// The blank-separated words of `choices`.
std::vector<std::string> Words(std::string_view choices) {
  std::vector<std::string> words;
  while (!choices.empty()) {
    const size_t blank = choices.find(' ');
    words.emplace_back(choices.substr(0, blank));
    choices = blank == std::string_view::npos ? std::string_view() : choices.substr(blank + 1);
  }
  return words;
}

// The left column of an option's help line: "-c CONTROL, --control CONTROL",
// "--format=FORMAT", "-WNAME", "--list FILE...".
std::string Spelling(const OptionSpec& option) {
  std::string text;
  const std::pair<std::string_view, const char*> names[] = {
      {option.shortName, option.value == V::kWarning ? "" : " "},
      {option.longName, option.value == V::kChoice ? "=" : " "}};
  for (const auto& [name, separator] : names) {
    if (name.empty()) {
      continue;
    }
    text.append(text.empty() ? "" : ", ").append(name);
    if (!option.argument.empty()) {
      text.append(separator).append(option.argument);
    }
  }
  if (!option.operands.empty()) {
    text.append(" ").append(option.operands);
  }
  return text;
}

// The help of an option with the settings key that gives its default.
std::string HelpOf(const OptionSpec& option) {
  std::string help(option.help);
  if (option.settingsKey.empty()) {
    return help;
  }
  const std::string value = option.argument.empty() ? "yes" : std::string(option.argument);
  return help + " (or " + std::string(option.settingsKey) + " = " + value + ")";
}

}  // namespace

std::span<const OptionSpec> OptionTable() {
  return kOptions;
}

const OptionSpec& OptionOf(OptionId id) {
  const auto index = static_cast<size_t>(id);
  assert(index < kOptions.size() && "an id of the option table");
  return kOptions[index < kOptions.size() ? index : 0];
}

std::span<const OvOptionSpelling> OptionSpellings() {
  static constexpr auto kSpellings = [] {
    std::array<OvOptionSpelling, kOptions.size()> spellings{};
    for (size_t i = 0; i < kOptions.size(); ++i) {
      spellings[i] = {kOptions[i].shortName, kOptions[i].longName, !kOptions[i].argument.empty()};
    }
    return spellings;
  }();
  return kSpellings;
}

std::optional<ActionId> ActionStartedBy(const OptionSpec& option) {
  const auto found = std::ranges::find(kForms, std::optional(option.id), &UsageForm::startedBy);
  return found == kForms.end() ? std::nullopt : std::optional(found->action);
}

bool IsChoice(const OptionSpec& option, std::string_view value) {
  return std::ranges::count(Words(option.choices), value) > 0;
}

std::string ChoiceWords(const OptionSpec& option) {
  return OrList(Words(option.choices));
}

std::string OrList(const std::vector<std::string>& words) {
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  }
  return text;
}

std::string_view OptionName(const OptionSpec& option) {
  return option.longName.empty() ? option.shortName : option.longName;
}

std::span<const UsageForm> UsageForms() {
  return kForms;
}

std::string_view UsageFormOf(ActionId action) {
  // Every action has a form.
  return std::ranges::find(kForms, action, &UsageForm::action)->form;
}

std::string UsageLines(std::string_view lead, std::string_view program, std::string_view form) {
  // Broken as after "partsc", whatever name the program was started by, so
  // that the lines are the same for every name.
  const size_t first = lead.size() + std::string_view("partsc ").size();
  return std::string(lead) + std::string(program) + " " +
         Wrapped(form, first, kUsageIndent, kUsageWidth, true) + "\n";
}

std::string HelpText(std::string_view program) {
  std::string text;
  for (const UsageForm& form : kForms) {
    text += UsageLines(text.empty() ? "Usage: " : "   or: ", program, form.form);
  }
  text +=
      "\nCompiles the parts source files listed in a control file; without -c the\n"
      "name of the control file is asked for on the console. A short option takes\n"
      "its value attached too (-pORVA.SET), a long one after \"=\" (--control=FILE).\n\n";
  for (const OptionSpec& option : kOptions) {
    const std::string left = "  " + Spelling(option);
    // A long left column has its help on a line of its own.
    text += left + (left.size() + 1 >= kHelpColumn ? "\n" + std::string(kHelpColumn, ' ')
                                                   : std::string(kHelpColumn - left.size(), ' '));
    text += Wrapped(HelpOf(option), kHelpColumn, kHelpColumn, kUsageWidth) + "\n";
  }
  return text;
}

}  // namespace partsc
