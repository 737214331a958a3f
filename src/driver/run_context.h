// Everything one run of partsc owns: its console, its current directory, its
// options, the class directories, the diagnostics, the macro table, the view
// flags and the room sources are read into. The driver passes each layer
// only what it needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "compiler/compile_context.h"
#include "compiler/parts_line.h"
#include "diagnostics/diagnostics.h"
#include "driver/run_driver.h"
#include "driver/run_options.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"

namespace partsc {

struct RunContext {
  RunContext(OvConsole& runConsole, RunOptions runOptions, std::string runDirectory,
             const RunExtras& runExtras)
      : console(runConsole),
        directory(std::move(runDirectory)),
        options(std::move(runOptions)),
        diagnostics(runConsole, directory),
        extras(runExtras) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  CompileContext Compile() {
    return {console,     diagnostics, macros,
            viewDefined, sourceBytes, options.Given(OptionId::kKeepGoing)};
  }

  OvConsole& console;
  // The run's current directory: relative names are taken from it.
  std::string directory;
  RunOptions options;
  OvClassDirectories classes;
  Diagnostics diagnostics;
  MacroTable macros;
  ViewDefinedFlags viewDefined{};
  // A source being compiled, then the parts file it gave as it was listed.
  OvFileBytes sourceBytes;
  // What the program that runs partsc gave besides the command line.
  const RunExtras& extras;

  // The text that stands for the file at `path`, if one was given.
  std::optional<std::string_view> GivenText(const std::string& path) const {
    const auto found = extras.texts.find(path);
    return found == extras.texts.end() ? std::nullopt
                                       : std::optional<std::string_view>(found->second);
  }
};

}  // namespace partsc
