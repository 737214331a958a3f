#include "decompiler/source_writer.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/parts_line.h"
#include "decompiler/source_line.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/keywords.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_file.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

class SourceWriter {
 public:
  explicit SourceWriter(const Recovery& recovery)
      : recovery_(recovery), header_(recovery.model.header) {}

  // The whole source, or why there is none and the pointer of the field it
  // is about: the first step that fails ends the writing.
  Decompiled Write() {
    for (const auto step : {&SourceWriter::WriteHeaderLines, &SourceWriter::WriteViewLines,
                            &SourceWriter::WriteCommonBlock, &SourceWriter::WriteTitleAndSort,
                            &SourceWriter::WriteSizeBlocks, &SourceWriter::WriteMacroLines}) {
      if (const Problem problem = (this->*step)()) {
        return {NotRecoverable(problem->rule), {}, problem->pointer};
      }
    }
    return {{}, head_ + body_ + std::string(KeywordText(Keyword::kEnd)) + "\n", {}};
  }

 private:
  // Why the field at `at_` cannot be written.
  using Problem = std::optional<ModelProblem>;
  ModelProblem Fail(std::string reason) const { return {at_, std::move(reason)}; }

  // Why `text` cannot stand in its field, if it cannot. The reason reads:
  // what, the text, whose (when given), the problem.
  Problem Check(const std::string& what, std::string_view text, char open, size_t limit,
                const std::string& whose = {}, bool cut = true) const {
    if (const std::optional<std::string> problem = TextProblem(text, open, limit, cut)) {
      return Fail(what + " " + Shown(text) + (whose.empty() ? "" : " " + whose) + " " + *problem);
    }
    return std::nullopt;
  }

  Problem Line(std::string& target, std::string_view keyword, const FieldsFor& fieldsFor,
               const std::string& what) const {
    const PlacedLine placed = PlaceLine(keyword, fieldsFor);
    if (placed.fit != Fit::kFits) {
      return Fail(what + " " + NotPlaced(placed.fit));
    }
    target += placed.text + '\n';
    return std::nullopt;
  }

  // A keyword line, named in a refusal as "the $$SIZE line" and what `of` adds.
  Problem KeywordLine(std::string& target, Keyword keyword, const FieldsFor& fieldsFor,
                      const std::string& of = "") const {
    const std::string word(KeywordText(keyword));
    return Line(target, word, fieldsFor, "the " + word + " line" + (of.empty() ? "" : " " + of));
  }

  static FieldsFor Constant(std::vector<Field> fields) {
    return [fields = std::move(fields)](bool) { return fields; };
  }

  Problem WriteHeaderLines() {
    char date[80];
    std::snprintf(date, sizeof date, "/ created %04d/%02d/%02d %02d:%02d\n", header_.createdYear,
                  header_.createdMonth, header_.createdDay, header_.createdHour,
                  header_.createdMinute);
    head_ += "/ Recovered by partsc --decompile: compiled again, this source gives the\n";
    head_ += "/ parts file back byte for byte, but for its creation date, which was\n";
    head_ += date;
    const std::string& name = recovery_.baseName;
    at_ = "/header/comment";
    if (name.empty() || !OvFile::IsPlainName(name)) {
      return Fail("the file name gives no parts name");
    }
    if (Problem problem =
            Check("the parts name (the file's base name)", name, '!', kPartsNameMax)) {
      return problem;
    }
    if (Problem problem =
            Check("the parts comment", header_.comment.View(), '"', kHeaderTextSize)) {
      return problem;
    }
    const std::string comment = header_.comment.Str();
    const PartsHeader& h = header_;
    const Problem problem = KeywordLine(head_, Keyword::kParts, [&](bool compact) {
      const bool pair = h.partsValue1 != 0 || h.partsValue2 != 0;
      return std::vector<Field>{{'!', Padded(name, kPartsNameMax), true},
                                {'<', NumberPair(h.partsValue1, h.partsValue2, compact), pair},
                                {'"', Padded(comment, kHeaderTextSize), !comment.empty()}};
    });
    if (problem || (header_.specFile == 0 && header_.specRecord == 0)) {
      return problem;
    }
    at_ = "/header/spec_file";
    return KeywordLine(head_, Keyword::kSpec, [&h](bool compact) {
      return std::vector<Field>{{'<', NumberPair(h.specFile, h.specRecord, compact), true}};
    });
  }

  Problem WriteViewLines() {
    const PartsModel& model = recovery_.model;
    int comments = 0;
    for (size_t view = 0; view < kViewKeywords.size(); ++view) {
      const std::string name = model.apgNames[view].Str();
      at_ = "/views/" + std::to_string(view);
      comments += model.apgComments[view].Empty() ? 0 : 1;
      const std::string keyword(kViewKeywords[view]);
      if (name.empty() && !model.apgComments[view].Empty()) {
        return Fail("the view " + keyword + " has an APG comment but no APG name");
      }
      for (size_t other = 0; other < view && !name.empty(); ++other) {
        if (model.apgNames[other].Str() == name) {
          return Fail("the views " + std::string(kViewKeywords[other]) + " and " + keyword +
                      " share the APG name " + Shown(name));
        }
      }
    }
    at_ = "/header/apg_comment_count";
    if (comments != header_.apgCommentCount) {
      return Fail("its header counts " + std::to_string(header_.apgCommentCount) +
                  " APG comments, but the file holds " + std::to_string(comments));
    }
    body_ += KeywordText(Keyword::kApg);
    body_ += '\n';
    for (size_t view = 0; view < kViewKeywords.size(); ++view) {
      const std::string name = model.apgNames[view].Str();
      const std::string comment = model.apgComments[view].Str();
      const std::string keyword(kViewKeywords[view]);
      const std::string where = "/views/" + std::to_string(view);
      if (name.empty()) {
        continue;
      }
      at_ = where + "/name";
      if (Problem problem = Check("the APG name of " + keyword, name, '!', kApgTextMax)) {
        return problem;
      }
      at_ = where + "/comment";
      if (Problem problem = Check("the APG comment of " + keyword, comment, '"', kApgTextMax)) {
        return problem;
      }
      at_ = where;
      if (Problem problem = Line(body_, keyword,
                                 Constant({{'!', Padded(name, kApgTextMax), true},
                                           {'"', Padded(comment, kApgTextMax), !comment.empty()}}),
                                 "the view line of " + keyword)) {
        return problem;
      }
    }
    return std::nullopt;
  }

  Problem WriteCommonBlock() {
    // A file without sizes keeps the name of its common block as its title.
    const bool named = header_.sizeCount == 0;
    const std::string title = header_.title.Str();
    at_ = "/header/title";
    if (!recovery_.model.common) {
      if (named && !title.empty()) {
        return Fail("its title " + Shown(title) + " needs sizes or a common block");
      }
      return std::nullopt;
    }
    const std::string name = named ? title : std::string();
    if (Problem problem = Check("the common block's name", name, '"', kSizeTextSize)) {
      return problem;
    }
    if (Problem problem =
            KeywordLine(body_, Keyword::kCommon,
                        Constant({{'"', Padded(name, kSizeTextSize), !name.empty()}}))) {
      return problem;
    }
    return WriteMembers(*recovery_.model.common, true, "the common block", "/common/members");
  }

  Problem WriteTitleAndSort() {
    const std::string title = header_.title.Str();
    at_ = "/header/title";
    if (header_.sizeCount > 0 && !title.empty()) {
      if (Problem problem = Check("the title", title, '"', kHeaderTextSize)) {
        return problem;
      }
      if (Problem problem = KeywordLine(body_, Keyword::kTitle,
                                        Constant({{'"', Padded(title, kHeaderTextSize), true}}))) {
        return problem;
      }
    }
    body_ += SortKeyword(header_.sortMode);
    body_ += '\n';
    return std::nullopt;
  }

  Problem WriteSizeBlocks() {
    for (const Block& block : recovery_.blocks) {
      const std::string what = "size " + Shown(block.name);
      const std::string where =
          block.record >= 0 ? "/sizes/" + std::to_string(block.record) : std::string("/unlisted");
      at_ = where + "/name";
      if (block.name.empty()) {
        return Fail("a size has an empty name");
      }
      if (Problem problem = Check("the size name", block.name, '"', kSizeTextSize)) {
        return problem;
      }
      at_ = where + "/title";
      if (Problem problem =
              Check("the size title", block.title, '!', kSizeTextSize, "of " + what)) {
        return problem;
      }
      at_ = where;
      const Field title{'!', Padded(block.title, kSizeTextSize), !block.title.empty()};
      if (Problem problem = KeywordLine(
              body_, Keyword::kSize,
              Constant({{'"', Padded(block.name, kSizeTextSize), true}, title}), "of " + what)) {
        return problem;
      }
      if (Problem problem = WriteMembers(*block.members, false, what, where + "/members")) {
        return problem;
      }
    }
    return std::nullopt;
  }

  Problem WriteMembers(const MemberList& list, bool common, const std::string& where,
                       const std::string& pointer) {
    for (size_t i = 0; i < list.specs.size(); ++i) {
      entry_ = pointer + "/" + std::to_string(i);
      if (Problem problem = WriteSpec(list.specs[i], common, where)) {
        return problem;
      }
    }
    for (size_t i = 0; i < list.params.size(); ++i) {
      entry_ = pointer + "/" + std::to_string(list.specs.size() + i);
      macroUsers_.emplace(Padded(list.params[i].text, kParamTextLimit), entry_);
      if (Problem problem = WriteParam(list.params[i], where)) {
        return problem;
      }
    }
    return std::nullopt;
  }

  Problem WriteSpec(const SpecEntry& spec, bool common, const std::string& where) {
    const std::string what = "the spec " + Shown(spec.name) + " in " + where;
    at_ = entry_ + "/name";
    if (spec.name.empty()) {
      return Fail("a spec in " + where + " has an empty name");
    }
    if (Problem problem = Check("the spec name", spec.name, '"', kSpecNameLimit, "in " + where)) {
      return problem;
    }
    at_ = entry_;
    if (spec.invertedFlag != 0 && spec.invertedFlag != 1) {
      return Fail(what + " has the flag byte " + std::to_string(spec.invertedFlag));
    }
    // A record equal to the default record of the block would read as 0; 256
    // more has the same low 8 bits and does not.
    const int32_t defaultRecord = common ? 0 : header_.specRecord;
    const int32_t record = spec.record == defaultRecord ? spec.record + 256 : spec.record;
    const std::string pair =
        std::to_string(spec.number) + "," + std::to_string(spec.invertedFlag == 0 ? 1 : 0);
    return Line(body_, "s",
                Constant({{'[', std::to_string(record), spec.record != 0},
                          {'<', pair, true},
                          {'"', Padded(spec.name, kSpecNameLimit), true}}),
                what);
  }

  Problem WriteParam(const ParamEntry& param, const std::string& where) {
    const std::string what = "the param " + Shown(param.name) + " in " + where;
    const std::string whose = "of param " + Shown(param.name) + " in " + where;
    const std::string& comment = param.comment;
    at_ = entry_ + "/name";
    if (param.name.empty()) {
      return Fail("a param in " + where + " has an empty name");
    }
    if (Problem problem =
            Check("the param name", param.name, '!', kParamNameMax, "in " + where, false)) {
      return problem;
    }
    at_ = entry_ + "/comment";
    if (Problem problem = Check("the comment", comment, '"', kParamCommentLimit, whose)) {
      return problem;
    }
    at_ = entry_ + "/text";
    if (Problem problem = Check("the text", param.text, '(', kParamTextLimit, whose, true)) {
      return problem;
    }
    at_ = entry_;
    const int32_t code = param.pairCode;
    if (!IsAllowedPairCode(code)) {
      return Fail(what + " has the pair code " + std::to_string(code));
    }
    if (param.text.empty() && code % 10 != 1) {
      return Fail(what + " has no text, which its pair code " + std::to_string(code) + " needs");
    }
    const std::string pair = std::to_string(code % 10) + "," + std::to_string(code / 10);
    const std::string paddedComment = Padded(comment, kParamCommentLimit);
    auto fields = [&param, &pair, &paddedComment, code](const std::string& text) {
      return Constant({{'!', param.name, true},
                       {'<', pair, code != 0},
                       {'"', paddedComment, !paddedComment.empty()},
                       {'(', text, !text.empty()}});
    };
    const std::optional<std::string> inPlace = TextInPlace(param.text);
    const PlacedLine placed = inPlace ? PlaceLine("p", fields(*inPlace)) : PlacedLine{};
    if (placed.fit == Fit::kFits) {
      body_ += placed.text + '\n';
      return std::nullopt;
    }
    // A text that cannot stand in its line is written through a macro whose
    // value it is (values are not expanded again).
    const bool asMacro =
        !param.text.empty() && !ClosesEarly(param.text) &&
        (!OvStringUtil::IsBlank(param.text.back()) || param.text.size() == kParamTextLimit);
    if (asMacro) {
      return Line(body_, "p", fields("{" + MacroFor(Padded(param.text, kParamTextLimit)) + "}"),
                  what);
    }
    if (inPlace) {
      return Fail(what + " " + NotPlaced(placed.fit));
    }
    at_ = entry_ + "/text";
    return Fail("the text " + Shown(param.text) + " " + whose +
                (ClosesEarly(param.text) ? " holds a \")\" that closes no \"(\""
                                         : " ends with a blank or tab"));
  }

  // How a param text stands in its own line: as it is, or with every "{"
  // written so that expansion gives it back; null when neither reads back.
  static std::optional<std::string> TextInPlace(const std::string& text) {
    std::optional<std::string> written = text.find('{') != std::string::npos ? EscapedText(text)
                                         : ClosesEarly(text)                 ? std::nullopt
                                                                             : std::optional(text);
    if (!written || written->size() > kParamTextLimit) {
      return std::nullopt;
    }
    if (text.empty() || !OvStringUtil::IsBlank(text.back())) {
      return written;
    }
    // A text that ends with a blank comes back only from a cut: the field is
    // cut to 64 characters before expansion (and the expansion again). A
    // shorter text fills its first "{}" with characters that expansion drops,
    // so that an added last character falls to the cut.
    const size_t missing = kParamTextLimit - written->size();
    if (missing > 0) {
      const size_t brace = written->find("{");
      if (brace == std::string::npos) {
        return std::nullopt;
      }
      written->insert(brace + 1, missing, '-');
    }
    *written += '.';
    return written;
  }

  // The name of the macro whose value is `value`, defined once.
  std::string MacroFor(const std::string& value) {
    const auto found = macros_.find(value);
    if (found != macros_.end()) {
      return found->second;
    }
    static constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name;
    size_t serial = macros_.size();
    do {
      name.insert(name.begin(), kDigits[serial % kDigits.size()]);
      serial /= kDigits.size();
    } while (serial > 0);
    macros_.emplace(value, name);
    macroOrder_.push_back(value);
    return name;
  }

  // Macro lines stand before every block, so the common block sees them too.
  Problem WriteMacroLines() {
    if (macroOrder_.empty()) {
      return std::nullopt;
    }
    head_ += "/ Param texts that cannot stand in their own line.\n";
    for (const std::string& value : macroOrder_) {
      at_ = macroUsers_[value] + "/text";
      if (Problem problem =
              Line(head_, "t", Constant({{'!', macros_[value], true}, {'(', value, true}}),
                   "the macro for " + Shown(value))) {
        return problem;
      }
    }
    return std::nullopt;
  }

  const Recovery& recovery_;
  const PartsHeader& header_;
  std::string head_;
  std::string body_;
  std::string at_;     // the pointer of the field being written
  std::string entry_;  // and of the member entry it belongs to
  // The first param whose text each padded text is.
  std::map<std::string, std::string> macroUsers_;
  std::map<std::string, std::string> macros_;
  std::vector<std::string> macroOrder_;
};

}  // namespace

Decompiled WriteSource(const Recovery& recovery) {
  return SourceWriter(recovery).Write();
}

}  // namespace partsc
