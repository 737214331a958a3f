#include "compiler/member_line.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "compiler/parts_line.h"
#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// What became of a member line's entry: `status` kOk (stored),
// kMemberLineRefused, kTableFull or kOutOfMemory; a refusal names its cause
// in words and the delimiter of the field the cause is about ('\0': the line
// as a whole).
struct MemberOutcome {
  CompileStatus status = CompileStatus::kOk;
  std::string cause;
  char field = '\0';
};

// A pair code beyond this magnitude cannot be one of 0, 1, 10, 11 and is
// refused before it is converted to an integer.
constexpr float kPairCodeBound = 1e6f;

// The pair code of the first pair, or -1 when it is not one of 0, 1, 10, 11.
int PairCode(const float (*pairs)[2]) {
  const float code = pairs[0][1] * 10.0f + pairs[0][0];
  if (!std::isfinite(code) || code < -kPairCodeBound || code > kPairCodeBound) {
    return -1;
  }
  const int truncated = static_cast<int>(code);
  return IsAllowedPairCode(truncated) ? truncated : -1;
}

// The spec record of a member line: 0 when the line has no bracketed list or
// when its first number has the 16 bits of the header's default record.
uint16_t SpecRecord(int16_t specRecord, const float* numbers, int numberCount) {
  if (numberCount <= 0 || numbers == nullptr) {
    return 0;
  }
  const int16_t record = TruncateTo16Bits(numbers[0]);
  return record == specRecord ? 0 : static_cast<uint16_t>(record);
}

// Builds the expansion of a text, keeping at most limit + 1 characters: enough
// to tell whether the whole expansion would exceed the limit. Up to the usual
// limits it needs no allocation.
class BoundedText {
 public:
  explicit BoundedText(size_t limit) : limit_(limit) {
    if (limit_ + 1 > inline_.size()) {
      large_.resize(limit_ + 1);
      data_ = large_.data();
    }
  }
  BoundedText(const BoundedText&) = delete;
  BoundedText& operator=(const BoundedText&) = delete;

  void Append(std::string_view piece) {
    const size_t n = std::min(piece.size(), limit_ + 1 - size_);
    std::memcpy(data_ + size_, piece.data(), n);
    size_ += n;
  }
  void Push(char c) {
    if (size_ <= limit_) {
      data_[size_++] = c;
    }
  }
  bool Full() const { return size_ > limit_; }
  std::string_view View() const { return {data_, size_}; }

 private:
  size_t limit_;
  size_t size_ = 0;
  std::array<char, 128> inline_;
  std::string large_;
  char* data_ = inline_.data();
};

// The expansion of `text`, cut to `limit` characters, as a view of the text
// itself when it holds no brace, else of `room`.
struct ExpandedText {
  std::string_view text;
  bool cut = false;
};
ExpandedText Expand(const MacroTable& macros, std::string_view text, size_t limit,
                    BoundedText& room) {
  // Without a brace the expansion is the text itself.
  if (text.find('{') == std::string_view::npos) {
    return {text.substr(0, limit), text.size() > limit};
  }
  // Plain characters are copied one by one: between macros there are few.
  for (size_t at = 0; at < text.size() && !room.Full();) {
    if (text[at] != '{') {
      room.Push(text[at]);
      ++at;
      continue;
    }
    // Inside braces: the name runs to the next "}" or to the end of the text.
    const std::string_view rest = text.substr(at + 1);
    const size_t close = rest.find('}');
    room.Append(GetMacroValue(macros, rest.substr(0, close)).value_or("{"));
    at = close == std::string_view::npos ? text.size() : at + 1 + close + 1;
  }
  return {room.View().substr(0, limit), room.Full()};
}

// The refusals are out of the way of the lines that are stored.
[[gnu::cold, gnu::noinline]] MemberOutcome Refused(std::string cause, char field) {
  return {CompileStatus::kMemberLineRefused, std::move(cause), field};
}

[[gnu::cold, gnu::noinline]] MemberOutcome ParamNameTooLong(size_t size) {
  return Refused("param name of " + std::to_string(size) + " characters, at most " +
                     std::to_string(kParamNameMax),
                 '!');
}

[[gnu::cold, gnu::noinline]] MemberOutcome BlockFull(const char* kind, int most) {
  return {CompileStatus::kTableFull,
          "a block holds at most " + std::to_string(most) + " " + kind + " lines", '\0'};
}

// A number of a pair as the source could have written it.
std::string NumberText(float number) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(number));
  return text;
}

// The refusal of a first pair with a wrong number, "pair <2,0> `rule`", or
// of one that lacks a number ("<1,1 "MAT"", whose ">" is missing).
[[gnu::cold, gnu::noinline]] MemberOutcome PairRefused(const float (*pairs)[2],
                                                       std::string_view rule) {
  if (!std::isfinite(pairs[0][0]) || !std::isfinite(pairs[0][1])) {
    return Refused("the pair has no number where one is needed", '<');
  }
  return Refused(
      "pair <" + NumberText(pairs[0][0]) + "," + NumberText(pairs[0][1]) + "> " + std::string(rule),
      '<');
}

MemberOutcome AddSpecEntry(MemberTable& table, std::string_view name, const float (*pairs)[2],
                           int pairCount, const float* numbers, int numberCount) {
  if (name.empty()) {
    return Refused("no spec name between quotes", '"');
  }
  if (pairCount < 1 || pairs == nullptr) {
    return Refused("no pair", '<');
  }
  if (table.SpecsFull()) {
    return BlockFull("spec", kMaxSpecEntries);
  }
  const float first = pairs[0][0];
  const float second = pairs[0][1];
  if (!std::isfinite(first) || (second != 0.0f && second != 1.0f)) {
    return PairRefused(pairs, "has a second number other than 0 and 1");
  }
  const auto number = static_cast<uint16_t>(TruncateTo16Bits(first));
  const uint16_t invertedFlag = second == 0.0f ? 1 : 0;
  const uint16_t record = SpecRecord(table.specRecord, numbers, numberCount);
  // Stored, or out of memory (the table's room was looked at before).
  return {table.AddSpec(number, invertedFlag, record, name), {}, '\0'};
}

MemberOutcome AddParamEntry(MemberTable& table, std::string_view comment, std::string_view text,
                            const float (*pairs)[2], int pairCount, std::string_view name) {
  if (name.empty()) {
    return Refused("no param name between ! and !", '!');
  }
  // The parts file keeps six characters of a name; a longer one is refused
  // rather than cut, since cutting could silently merge two names.
  if (name.size() > static_cast<size_t>(kParamNameMax)) {
    return ParamNameTooLong(name.size());
  }
  if (table.ParamsFull()) {
    return BlockFull("param", kMaxParamEntries);
  }
  int pairCode = 0;
  if (pairCount >= 1 && pairs != nullptr) {
    pairCode = PairCode(pairs);
    if (pairCode < 0) {
      return PairRefused(pairs, "is none of <0,0>, <1,0>, <0,1> and <1,1>");
    }
  }
  // A parameter text may be left out only when the pair's first number is 1.
  if (pairCode % 10 != 1 && text.empty()) {
    return Refused("no parameter text, which only a pair whose first number is 1 leaves out", '(');
  }
  return {table.AddParam(name, text, static_cast<int16_t>(pairCode), comment), {}, '\0'};
}

// The entry of a param line, once its fields are parsed: its text with the
// macros expanded.
MemberOutcome CompileParamLine(CompileContext& context, std::string_view line, MemberTable& table,
                               std::string_view comment, std::string_view name,
                               const float (*pairs)[2], int pairCount) {
  const std::string_view field = ExtractField(line, '(', kParamTextLimit).text;
  if (context.diagnostics.WarningsWanted()) {
    LintFieldCut(context.diagnostics, "Parameter text", line, '(', kParamTextLimit);
    LintFieldCut(context.diagnostics, "Parameter comment", line, '"', kParamCommentLimit);
    LintUndefinedMacros(context.diagnostics, context.macros, line);
  }
  BoundedText room(kParamTextLimit);
  const auto [text, cut] = Expand(context.macros, field, kParamTextLimit, room);
  if (cut) {
    context.diagnostics.ReportWarning(Warning::kTextCut,
                                      "Parameter text cut to 64 characters after its macros",
                                      static_cast<int>(line.find('(')));
    LintKeptText(context.diagnostics, "Parameter text", text, static_cast<int>(line.find('(')));
  }
  return AddParamEntry(table, comment, text, pairs, pairCount, name);
}

}  // namespace

CompileStatus CompileMemberLine(CompileContext& context, std::string_view line, int lineNumber,
                                MemberTable& table) {
  std::string_view quoted;
  std::string_view bang;
  // ParseLine fills the first numberCount numbers and pairCount pairs; only
  // those are read. Without a <...> list the line has the one pair (0, 0).
  float numbers[kMemberListMax];
  int16_t numberCount = 0;
  float pairs[kMemberListMax][2];
  pairs[0][0] = 0.0f;
  pairs[0][1] = 0.0f;
  int16_t pairCount = 1;
  OvStringUtil::ParseLine(line, quoted, kMemberTextBuffer, bang, kMemberTextBuffer, numbers,
                          numberCount, kMemberListMax, pairs, pairCount, kMemberListMax);
  if (line.empty() || (line.front() != 's' && line.front() != 'p')) {
    return CompileStatus::kOk;
  }
  const bool spec = line.front() == 's';
  if (spec && context.diagnostics.WarningsWanted()) {
    LintFieldCut(context.diagnostics, "Spec name", line, '"', kSpecNameLimit);
  }
  const MemberOutcome outcome =
      spec ? AddSpecEntry(table, quoted, pairs, pairCount, numbers, numberCount)
           : CompileParamLine(context, line, table, quoted, bang, pairs, pairCount);
  const DiagnosticId illegal = spec ? DiagnosticId::kIllegalSpec : DiagnosticId::kIllegalParam;
  if (outcome.status == CompileStatus::kOk) {
    return CompileStatus::kOk;
  }
  if (outcome.status == CompileStatus::kOutOfMemory) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
    return CompileStatus::kOutOfMemory;
  }
  context.diagnostics.ReportRefusal(illegal, lineNumber, outcome.cause, outcome.field);
  return outcome.status;
}

Expansion ExpandMacros(const MacroTable& macros, std::string_view text, int maxLength) {
  const size_t limit = maxLength < 0 ? 0 : static_cast<size_t>(maxLength);
  BoundedText room(limit);
  const ExpandedText expanded = Expand(macros, text, limit, room);
  return {std::string(expanded.text), expanded.cut};
}

}  // namespace partsc
