// What an operation came to: one of its layer's statuses, and when it
// failed the reason in words (the system's, or the rule that was broken).
// Every layer answers so; the zero value of a status enum is its success.
#pragma once

#include <string>
#include <utility>

namespace partsc {

template <class Status>
struct OvResult {
  Status status{};
  std::string reason;  // empty on success

  bool Ok() const { return status == Status{}; }
  static OvResult Failed(Status status, std::string reason) {
    return {status, std::move(reason)};
  }
};

}  // namespace partsc
