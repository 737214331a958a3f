#include "diagnostics/warning_set.h"

#include <optional>

namespace partsc {

bool WarningSet::Apply(std::string_view option) {
  const bool on = !option.starts_with("no-");
  const std::string_view name = on ? option : option.substr(3);
  if (name == "error") {
    areErrors_ = on;
  } else if (name == "all") {
    enabled_ = on ? std::bitset<kWarningCount>().set() : std::bitset<kWarningCount>();
  } else if (const std::optional<Warning> warning = FindWarning(name)) {
    Enable(*warning, on);
  } else {
    return false;
  }
  return true;
}

}  // namespace partsc
