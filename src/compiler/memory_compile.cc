#include "compiler/memory_compile.h"

#include "platform/ov_file.h"

namespace partsc {

MemoryCompiler::MemoryCompiler()
    : console_(OvConsole::InMemory{}), diagnostics_(console_, std::string()) {
  console_.SetQuiet(true);
}

CompileOutcome MemoryCompiler::Compile(const LineSource& source, const std::string& partsDirectory,
                                       bool keepMemberLists) {
  CompileContext context{console_, diagnostics_, macros_, viewDefined_, sourceBytes_};
  OvClassDirectories classes;
  classes.Set(kClassParts, partsDirectory);
  PartsOutput output{classes, sink_, keepMemberLists};
  return CompilePartsSource(context, source, output);
}

}  // namespace partsc
