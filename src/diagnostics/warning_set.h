// The warnings for silent changes a run has on, and whether -Werror makes
// them errors.
#pragma once

#include <array>
#include <string_view>

#include "diagnostics/catalogue.h"

namespace partsc {

class WarningSet {
 public:
  void Enable(Warning warning, bool on) { enabled_[static_cast<size_t>(warning)] = on; }
  bool Enabled(Warning warning) const { return enabled_[static_cast<size_t>(warning)]; }
  // Whether any warning is on.
  bool AnyEnabled() const;
  // One -W option without its "-W": "all", "error", "NAME" or "no-NAME"
  // (also "no-all", "no-error"); false for a name that is no warning.
  bool Apply(std::string_view option);
  bool AreErrors() const { return areErrors_; }

 private:
  std::array<bool, kWarningCount> enabled_{};
  bool areErrors_ = false;
};

// Whether `option` is a -W option without its "-W": "all", "error", a
// warning's name, each also after "no-".
bool IsWarningOption(std::string_view option);

}  // namespace partsc
