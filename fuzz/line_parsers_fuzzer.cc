// Any lines through every line parser: the tokenizer, the number and member
// line parsers of the base library, macro expansion and each Compile*Line.
// The first byte sets the field and list limits; the rest is split at line
// feeds.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compiler/compile_passes.h"
#include "compiler/member_line.h"
#include "compiler/member_table.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "compiler/tokenizer.h"
#include "compiler/view_list.h"
#include "diagnostics/diagnostics.h"
#include "fuzz_env.h"
#include "platform/ov_string_util.h"

namespace partsc::fuzz {
namespace {

constexpr int kListSlots = 8;
constexpr int kLineSlots = 16;
constexpr int32_t kUntouched = -7;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

struct Limits {
  int fieldMax;   // -5 .. 74
  int listMax;    // -1 .. kListSlots
  int lineMax;    // 0 .. kLineSlots
  int textSize;   // 0 .. 79, ParseLine buffer sizes
  int expandMax;  // -5 .. 394, beyond any buffer ExpandMacros keeps at hand
};

Limits LimitsOf(uint8_t knob) {
  return {knob % 80 - 5, knob % (kListSlots + 2) - 1, knob % (kLineSlots + 1), (knob / 3) % 80,
          (knob * 7) % 400 - 5};
}

void CheckField(std::string_view line, char delimiter, int maxLength) {
  const auto [result, field] = ExtractField(line, delimiter, maxLength);
  const size_t limit = maxLength < 0 ? 0 : static_cast<size_t>(maxLength);
  if (delimiter != '"' && delimiter != '!' && delimiter != '(') {
    Require(result == FieldFit::kBadDelimiter && field.empty(), "an unknown delimiter is refused");
    return;
  }
  Require(result != FieldFit::kBadDelimiter, "a known delimiter is taken");
  Require(field.size() <= limit, "a field never exceeds its limit");
  Require(result != FieldFit::kMissing || field.empty(), "a missing field is empty");
  Require(result != FieldFit::kCut || field.size() == limit, "a cut field has the limit's length");
  Require(result == FieldFit::kMissing || limit == 0 || !field.empty(),
          "a found field is not empty");
  if (result == FieldFit::kFits) {
    Require(!IsBlank(field.front()) && !IsBlank(field.back()), "a field is trimmed");
  }
}

void CheckValueList(std::string_view line, char bracket, int maxItems) {
  const std::vector<ValueItem> items = ParseValueList(line, maxItems, bracket);
  Require(items.size() <= static_cast<size_t>(maxItems < 0 ? 0 : maxItems),
          "the item count stays in range");
  for (const ValueItem& item : items) {
    if (item.type == ItemType::kNumber) {
      Require(std::isfinite(item.number) && item.number != 0.0,
              "a number item is finite and not zero");
      (void)TruncateTo16Bits(item.number);
      continue;
    }
    Require(item.Name().size() <= static_cast<size_t>(kValueNameMax), "a name item is cut");
  }
}

void CheckDouble(std::string_view text, NumberTrim trim) {
  const std::optional<double> value = OvStringUtil::ParseDouble(text, trim);
  if (!value) {
    return;
  }
  Require(std::isfinite(*value), "an accepted number is finite");
  (void)TruncateTo16Bits(*value);
}

void CheckParseLine(std::string_view line, const Limits& limits) {
  std::string_view quoted;
  std::string_view bang;
  std::array<float, kLineSlots> numbers{};
  float pairs[kLineSlots][2] = {};
  int16_t numberCount = kUntouched;
  int16_t pairCount = kUntouched;
  OvStringUtil::ParseLine(line, quoted, limits.textSize, bang, limits.textSize, numbers.data(),
                          numberCount, limits.lineMax, pairs, pairCount, limits.lineMax);
  const size_t textLimit = limits.textSize < 1 ? 0 : static_cast<size_t>(limits.textSize - 1);
  Require(quoted.size() <= textLimit && bang.size() <= textLimit, "ParseLine texts are cut");
  Require(numberCount == kUntouched || (numberCount >= 0 && numberCount <= limits.lineMax),
          "the number count stays in range");
  Require(pairCount == kUntouched || (pairCount >= 0 && pairCount <= limits.lineMax),
          "the pair count stays in range");
}

// The whole expansion, without any limit: every {name} replaced by the
// macro's value, or by a single "{" when no macro has that name; a name runs
// to the next "}" or to the end of the text.
std::string FullExpansion(const MacroTable& macros, std::string_view text) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t open = text.find('{', pos);
    if (open == std::string_view::npos) {
      out += text.substr(pos);
      return out;
    }
    out += text.substr(pos, open - pos);
    const size_t close = text.find('}', open + 1);
    const std::string_view name =
        text.substr(open + 1, close == std::string_view::npos ? close : close - open - 1);
    out += GetMacroValue(macros, name).value_or("{");
    if (close == std::string_view::npos) {
      return out;
    }
    pos = close + 1;
  }
}

void CheckExpansion(const MacroTable& macros, std::string_view line, int maxLength) {
  const Expansion expansion = ExpandMacros(macros, line, maxLength);
  const size_t limit = maxLength < 0 ? 0 : static_cast<size_t>(maxLength);
  const std::string full = FullExpansion(macros, line);
  Require(expansion.cut == (full.size() > limit), "ExpandMacros tells whether it cut");
  Require(expansion.text == full.substr(0, limit),
          "an expansion is the whole expansion, cut to the limit");
}

// What the lines of one input fill.
struct Tables {
  std::vector<PartsSize> sizes;
  SizeTable sizeTable{sizes};
  MemberTable members;
  ApgSlots names;
  ApgSlots comments;
};

void CheckCompileLines(CompileContext& context, std::string_view line, int lineNumber,
                       Tables& tables) {
  const PartsLine parts = CompilePartsLine(context, line, lineNumber).value_or(PartsLine{});
  Require(parts.name.size() <= 22 && parts.comment.size() <= 64, "parts texts are cut");

  CompileSpecLine(context, line);

  CompileViewLine(context, line, lineNumber, tables.names, tables.comments);
  for (int i = 0; i < kViewCount; ++i) {
    Require(tables.names[i].size() <= kApgTextMax && tables.comments[i].size() <= kApgTextMax,
            "APG slots hold at most 31 characters");
  }

  const size_t sizesBefore = tables.sizes.size();
  const CompileStatus size = CompileSizeLine(context, line, lineNumber, tables.sizeTable);
  Require(size != CompileStatus::kOutOfMemory, "CompileSizeLine runs short of nothing");
  Require(tables.sizes.size() == sizesBefore + (size == CompileStatus::kOk ? 1 : 0),
          "an accepted size line adds exactly one size");

  const size_t before = tables.members.SpecCount() + tables.members.ParamCount();
  const CompileStatus member = CompileMemberLine(context, line, lineNumber, tables.members);
  Require(member != CompileStatus::kOutOfMemory, "CompileMemberLine runs short of nothing");
  const size_t after = tables.members.SpecCount() + tables.members.ParamCount();
  const size_t added = after - before;
  Require(
      added == (member == CompileStatus::kOk && !line.empty() && (line[0] == 's' || line[0] == 'p')
                    ? 1U
                    : 0U),
      "an accepted member line adds exactly one entry");
}

}  // namespace
}  // namespace partsc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  if (size == 0) {
    return 0;
  }
  Context& fuzz = BeginInput();
  CompileContext context = fuzz.Compile();
  const Limits limits = LimitsOf(data[0]);
  std::string_view rest = AsText(data + 1, size - 1);

  int lineNumber = 0;
  Tables tables;
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    ++lineNumber;
    Require(CompileMacroLine(context, line, lineNumber) == CompileStatus::kOk,
            "a macro line fails only without memory");
    for (const char delimiter : {'"', '!', '(', '<'}) {
      CheckField(line, delimiter, limits.fieldMax);
    }
    CheckValueList(line, '<', limits.listMax);
    CheckValueList(line, '[', limits.listMax);
    CheckValueList(line, '(', limits.listMax);
    CheckDouble(line, NumberTrim::kAsItStands);
    CheckDouble(line, NumberTrim::kTrimFirst);
    CheckParseLine(line, limits);
    CheckExpansion(context.macros, line, limits.expandMax);
    CheckCompileLines(context, line, lineNumber, tables);
  }

  EndInput();
  return 0;
}
