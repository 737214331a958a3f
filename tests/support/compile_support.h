// A compile and a listing in this process, with objects of their own as a
// run makes them: a console in memory, no error log, the parts class in
// `directory`.
#pragma once

#include <string>

#include "compiler/compile_passes.h"
#include "compiler/parts_line.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_file.h"
#include "storage/file_sinks.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"

namespace partsc::testing {

struct Compiler {
  explicit Compiler(const std::string& directory) : diagnostics(console, directory) {
    classes.Set(kClassParts, directory);
  }

  // CompilePartsSource into the parts directory, the file written in place.
  CompileStatus Compile(const std::string& inputPath, std::string& outputPath) {
    CompileContext context{console, diagnostics, macros, viewDefined, sourceBytes};
    PartsFileSink sink;
    PartsOutput output{classes, sink};
    CompileOutcome outcome = CompilePartsSource(context, LineSource{inputPath, {}}, output);
    outputPath = outcome.outputPath;
    return outcome.status;
  }

  ListResult List(const std::string& path, OvFileIO& runLog) {
    OvFileBytes bytes;
    return ListPartsFile(diagnostics, path, runLog, path, bytes);
  }

  OvConsole console{OvConsole::InMemory{}};
  Diagnostics diagnostics;
  MacroTable macros;
  ViewDefinedFlags viewDefined{};
  OvFileBytes sourceBytes;
  OvClassDirectories classes;
};

}  // namespace partsc::testing
