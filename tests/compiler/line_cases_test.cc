// The line parsers against tests/compiler/line_cases.txt. A case is a group
// of lines "KIND: LINE" (KIND*COUNT feeds the line COUNT times), each given
// to its parser in turn and numbered from 1, and the expected lines "= ...":
// after each source line its result when it is not 0 and what it wrote to
// the error log, then a dump of the tables. Cases are parted by empty lines.
// And macros expanded in a text kept to a limit.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "compiler/view_list.h"
#include "diagnostics/diagnostics.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

// Tabs, carriage returns and bytes outside printable ASCII as escapes.
std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", u);
    out += c == '\t'              ? "\\t"
           : c == '\r'            ? "\\r"
           : c == '\\'            ? "\\\\"
           : u < 0x20 || u > 0x7e ? hex
                                  : std::string(1, c);
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    if (c == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
  }
  return out;
}

std::string Quoted(const std::string& text) {
  // Appended, not `"\"" + Escape(text)`: g++ 12 at -O3 warns of an overlapping
  // copy there (a false positive of its -Wrestrict).
  return std::string("\"").append(Escape(text)).append("\"");
}

class LineCases {
 public:
  explicit LineCases(const TempDir& dir)
      : log_(dir.File("lines.ctl.LOG")), diagnostics_(console_, dir.path()) {
    diagnostics_.OpenErrorLog("lines.ctl");
  }
  ~LineCases() { diagnostics_.CloseErrorLog(); }

  void Feed(const std::string& kind, const std::string& line) {
    ++number_;
    CompileStatus result = CompileStatus::kOk;
    if (kind == "parts") {
      const std::optional<PartsLine> parts = CompilePartsLine(context_, line, number_);
      result = parts ? CompileStatus::kOk : CompileStatus::kPartsLineRefused;
      parts_ = parts.value_or(PartsLine{});
      partsSeen_ = true;
    } else if (kind == "macro") {
      result = CompileMacroLine(context_, line, number_);
      macrosUsed_ = true;
    } else if (kind == "spec") {
      const auto [file, record] = CompileSpecLine(context_, line);
      members_.specRecord = static_cast<int16_t>(record);
      out_ += "$$SPEC " + std::to_string(file) + " " + std::to_string(record) + "\n";
    } else if (kind == "size") {
      result = CompileSizeLine(context_, line, number_, sizeTable_);
    } else if (kind == "view") {
      CompileViewLine(context_, line, number_, names_, comments_);
      views_ = true;
    } else if (kind == "member") {
      result = CompileMemberLine(context_, line, number_, members_);
    } else {
      ADD_FAILURE() << "no parser for " << kind;
    }
    if (result != CompileStatus::kOk) {
      out_ += "result " + std::to_string(ResultCode(result)) + "\n";
    }
    diagnostics_.CloseErrorLog();
    std::istringstream written(ReadFile(log_));
    std::remove(log_.c_str());
    diagnostics_.OpenErrorLog("lines.ctl");
    for (std::string each; std::getline(written, each);) {
      out_ += Escape(each) + "\n";
    }
  }

  // The output so far and the tables; tables of more than eight entries show
  // their count and their last entry only.
  std::string Dump() {
    std::ostringstream out;
    out << out_;
    if (partsSeen_) {
      out << "parts " << Quoted(parts_.name) << " " << Quoted(parts_.comment) << " "
          << parts_.value1 << " " << parts_.value2 << "\n";
    }
    if (macrosUsed_) {
      out << "macros " << macros_.Count() << "\n";
    }
    for (size_t i = 0; i < sizes_.size(); ++i) {
      out << "size " << i << " " << Quoted(sizes_[i].record.name.Str()) << " "
          << Quoted(sizes_[i].record.title.Str()) << "\n";
    }
    for (int i = 0; views_ && i < kViewCount; ++i) {
      const bool defined = viewDefined_[static_cast<size_t>(i)] == 1;
      if (!names_[i].empty() || !comments_[i].empty() || defined) {
        out << "view " << i << " " << Quoted(names_[i]) << " " << Quoted(comments_[i])
            << (defined ? " defined" : "") << "\n";
      }
    }
    const auto specs = members_.Specs();
    if (specs.size() > 8) {
      out << "specs " << specs.size() << "\n";
    }
    for (size_t i = specs.size() > 8 ? specs.size() - 1 : 0; i < specs.size(); ++i) {
      const SpecEntry& spec = specs[i];
      out << "spec " << static_cast<int16_t>(spec.number) << " "
          << static_cast<int16_t>(spec.invertedFlag) << " " << static_cast<int16_t>(spec.record)
          << " " << Quoted(spec.name) << "\n";
    }
    const auto params = members_.Params();
    if (params.size() > 8) {
      out << "params " << params.size() << "\n";
    }
    for (size_t i = params.size() > 8 ? params.size() - 1 : 0; i < params.size(); ++i) {
      const ParamEntry& param = params[i];
      out << "param " << Quoted(param.name) << " " << param.pairCode << " " << Quoted(param.text)
          << " " << Quoted(param.comment) << "\n";
    }
    return out.str();
  }

 private:
  std::string log_;
  OvConsole console_{OvConsole::InMemory{}};
  Diagnostics diagnostics_;
  MacroTable macros_;
  ViewDefinedFlags viewDefined_{};
  OvFileBytes sourceBytes_;
  CompileContext context_{console_, diagnostics_, macros_, viewDefined_, sourceBytes_};
  std::vector<PartsSize> sizes_;
  SizeTable sizeTable_{sizes_};
  MemberTable members_;
  std::string out_;
  int number_ = 0;
  bool partsSeen_ = false;
  PartsLine parts_;
  bool macrosUsed_ = false;
  bool views_ = false;
  ApgSlots names_, comments_;
};

TEST(LineCases, EachCaseGivesItsDiagnosticsAndTables) {
  TempDir dir;
  ScopedChdir inDir(dir.path());
  std::istringstream data(
      ReadFile(std::string(PARTSC_SOURCE_DIR) + "/tests/compiler/line_cases.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(data, line);) {
    lines.push_back(line);
  }
  lines.push_back("");
  int cases = 0;
  size_t first = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].empty()) {
      continue;
    }
    std::string expected;
    std::string dump;
    std::optional<LineCases> parsers(dir);
    bool any = false;
    for (size_t j = first; j < i; ++j) {
      const std::string& line = lines[j];
      const size_t colon = line.find(':');
      if (line.starts_with("= ")) {
        expected += line.substr(2) + "\n";
      } else if (line[0] != '#') {
        ASSERT_NE(colon, std::string::npos) << "line_cases.txt:" << j + 1 << ": " << line;
        const size_t star = line.find('*');
        const std::string kind = line.substr(0, std::min(star, colon));
        const int times = star < colon ? std::stoi(line.substr(star + 1, colon - star - 1)) : 1;
        for (int n = 0; n < times; ++n) {
          parsers->Feed(kind, Unescape(line.substr(std::min(colon + 2, line.size()))));
        }
        any = true;
      }
    }
    dump = parsers->Dump();
    parsers.reset();
    if (any) {
      ++cases;
      EXPECT_EQ(dump, expected) << "line_cases.txt:" << first + 1;
    }
    first = i + 1;
  }
  EXPECT_GT(cases, 0);
}

// An expansion keeps its first `limit` characters and says whether more
// followed, built in the room kept inline (up to 127) or in a larger one.
TEST(ExpandMacros, KeepsTheLimitAndSaysWhetherItCut) {
  MacroTable macros;
  ASSERT_EQ(macros.Define("A", std::string(50, 'a')), CompileStatus::kOk);
  const std::string whole = "b" + std::string(150, 'a');
  for (const int limit : {0, 64, 126, 127, 128, 150, 151, 152}) {
    const Expansion expansion = ExpandMacros(macros, "b{A}{A}{A}", limit);
    EXPECT_EQ(expansion.text, whole.substr(0, static_cast<size_t>(limit))) << limit;
    EXPECT_EQ(expansion.cut, limit < 151) << limit;
  }
}

}  // namespace
}  // namespace partsc::testing
