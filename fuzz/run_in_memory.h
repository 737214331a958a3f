// The whole program, as main runs it, on a console in memory in the fuzz
// targets' working directory: for the targets that drive a command line.
#pragma once

#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "fuzz_env.h"
#include "platform/ov_console.h"

namespace partsc::fuzz {

struct RunOutput {
  int status = 0;  // as RunPartsc answers it
  std::string out;
  std::string err;
};

inline RunOutput RunInMemory(std::vector<std::string> args) {
  args.insert(args.begin(), "partsc");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  OvConsole console(OvConsole::InMemory{});
  RunOutput run;
  run.status = RunPartsc(static_cast<int>(argv.size()), argv.data(), console, EnterWorkDir());
  run.out = console.OutText();
  run.err = console.ErrText();
  return run;
}

// Whether every line of `text` begins with one of `starts`.
inline bool EachLineBegins(const std::string& text, const std::vector<std::string>& starts) {
  size_t at = 0;
  while (at < text.size()) {
    bool known = false;
    for (const std::string& start : starts) {
      known = known || text.compare(at, start.size(), start) == 0;
    }
    if (!known) {
      return false;
    }
    const size_t end = text.find('\n', at);
    at = end == std::string::npos ? text.size() : end + 1;
  }
  return true;
}

}  // namespace partsc::fuzz
