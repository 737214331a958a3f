// Any bytes as a settings file, read as -p reads it and as the language
// server reads one it found: 0 with every class directory absolute, or -1
// after exactly one line that names the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/run_options.h"
#include "fuzz_env.h"
#include "platform/ov_console.h"
#include "platform/ov_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  BeginInput();
  WriteInput("ORVA.SET", AsText(data, size));
  for (const OvSettingsOrigin origin : {OvSettingsOrigin::kNamed, OvSettingsOrigin::kFound}) {
    OvConsole console(OvConsole::InMemory{});
    std::vector<std::string> words = {"partsc", "-p", "ORVA.SET"};
    std::vector<char*> argv;
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    RunOptions options;
    Require(options.Parse(static_cast<int>(argv.size()), argv.data(), console).Ok(),
            "the command line is taken");
    OvClassDirectories classes;
    const std::optional<std::string> problem =
        options.ReadSettings(EnterWorkDir(), classes, origin);
    if (problem) {
      Require(problem->starts_with("ORVA.SET") && problem->find('\n') == std::string::npos,
              "a refusal is one line that names the settings file");
      continue;
    }
    Require(console.ErrText().empty(), "a settings file that is taken says nothing");
    for (const std::string_view key : kClassKeys) {
      Require(classes.Of(key).starts_with("/"), "every class directory is absolute");
    }
  }
  EndInput();
  return 0;
}
