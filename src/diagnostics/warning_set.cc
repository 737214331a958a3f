#include "diagnostics/warning_set.h"

#include <algorithm>

namespace partsc {

bool WarningSet::AnyEnabled() const {
  return std::ranges::any_of(enabled_, [](bool on) { return on; });
}

bool WarningSet::Apply(std::string_view option) {
  const bool on = !option.starts_with("no-");
  const std::string_view name = on ? option : option.substr(3);
  Warning warning = Warning::kUnknownKeyword;
  if (name == "error") {
    areErrors_ = on;
  } else if (name == "all") {
    enabled_.fill(on);
  } else if (FindWarning(name, warning)) {
    Enable(warning, on);
  } else {
    return false;
  }
  return true;
}

bool IsWarningOption(std::string_view option) {
  const std::string_view name = option.starts_with("no-") ? option.substr(3) : option;
  Warning warning = Warning::kUnknownKeyword;
  return name == "all" || name == "error" || FindWarning(name, warning);
}

}  // namespace partsc
