// The warnings for silent changes a run has on, and whether -Werror makes
// them errors.
#pragma once

#include <bitset>
#include <string_view>

#include "diagnostics/catalogue.h"

namespace partsc {

class WarningSet {
 public:
  void Enable(Warning warning, bool on) { enabled_.set(static_cast<size_t>(warning), on); }
  bool Enabled(Warning warning) const { return enabled_.test(static_cast<size_t>(warning)); }
  bool AnyEnabled() const { return enabled_.any(); }
  // One -W option without its "-W": "all", "error", "NAME" or "no-NAME"
  // (also "no-all", "no-error"); false for a name that is no warning.
  bool Apply(std::string_view option);
  bool AreErrors() const { return areErrors_; }

 private:
  std::bitset<kWarningCount> enabled_;
  bool areErrors_ = false;
};

// Whether `option` is a -W option without its "-W": "all", "error", a
// warning's name, each also after "no-".
inline bool IsWarningOption(std::string_view option) {
  return WarningSet().Apply(option);
}

}  // namespace partsc
