#include "platform/ov_session.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace partsc {
namespace {

OvResult<OvParse> Refuse(std::string why) {
  return OvResult<OvParse>::Failed(OvParse::kRefused, std::move(why));
}

}  // namespace

std::optional<size_t> FindOption(std::span<const OvOptionSpelling> options, std::string_view word,
                                 std::optional<std::string_view>& attached) {
  for (size_t i = 0; i < options.size(); ++i) {
    if (word == options[i].shortName || word == options[i].longName) {
      return i;
    }
  }
  for (size_t i = 0; i < options.size(); ++i) {
    const OvOptionSpelling& option = options[i];
    if (!option.takesValue) {
      continue;
    }
    if (!option.shortName.empty() && word.starts_with(option.shortName)) {
      attached = word.substr(option.shortName.size());
      return i;
    }
    if (!option.longName.empty() && word.starts_with(option.longName) &&
        word.substr(option.longName.size()).starts_with("=")) {
      attached = word.substr(option.longName.size() + 1);
      return i;
    }
  }
  return std::nullopt;
}

OvResult<OvParse> OvSession::ParseCommandLine(int argc, char** argv) {
  programName_ = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "partsc";
  const std::span<const OvOptionSpelling> options = program_.Options();
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    // A bare argument, or any argument after "--", is the program's to take.
    if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
      if (!program_.TakeOperand(argument)) {
        return Refuse("unexpected argument '" + std::string(argument) + "'");
      }
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    std::optional<std::string_view> attached;
    const std::optional<size_t> index = FindOption(options, argument, attached);
    if (!index) {
      return Refuse("unrecognized option '" + std::string(argument) + "'");
    }
    const bool valueFollows = options[*index].takesValue && !attached;
    if (valueFollows && (i + 1 >= argc || argv[i + 1] == nullptr)) {
      return Refuse("option '" + std::string(argument) + "' requires an argument");
    }
    // The spelling the option was given in, without its value.
    std::string_view spelling =
        attached ? argument.substr(0, argument.size() - attached->size()) : argument;
    if (spelling.ends_with("=")) {
      spelling.remove_suffix(1);
    }
    const std::string_view value =
        valueFollows ? std::string_view(argv[++i]) : attached.value_or(std::string_view());
    const OvCommandLine::Taken taken = program_.TakeOption(*index, spelling, value);
    if (taken == OvCommandLine::Taken::kRefused) {
      return Refuse("invalid or repeated argument '" + std::string(value) + "' for '" +
                    std::string(spelling) + "'");
    }
    if (taken == OvCommandLine::Taken::kEnd) {
      return {};
    }
  }
  std::optional<std::string> problem = program_.Settle();
  return problem ? Refuse(std::move(*problem)) : OvResult<OvParse>{};
}

}  // namespace partsc
