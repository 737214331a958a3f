// The compile of one source in memory: nothing is printed, nothing but the
// source file (when no text is given) is read, and nothing is written.
#pragma once

#include <string>

#include "compiler/compile_context.h"
#include "compiler/compile_passes.h"
#include "compiler/parts_line.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_file.h"
#include "platform/ov_console.h"

namespace partsc {

// Objects of its own for each compile: the library's, the recompile check's.
class MemoryCompiler {
 public:
  MemoryCompiler();
  MemoryCompiler(const MemoryCompiler&) = delete;
  MemoryCompiler& operator=(const MemoryCompiler&) = delete;

  // Where the compile reports; set its warnings and sinks before Compile.
  Diagnostics& diagnostics() { return diagnostics_; }

  // Compiles `source`, its parts name resolved in `partsDirectory`; with
  // `keepMemberLists` the model keeps every member list; with `readOn` the
  // compile reads on after the line that ends it.
  CompileOutcome Compile(const LineSource& source, const std::string& partsDirectory,
                         bool keepMemberLists, bool readOn = false);
  // The bytes the compile wrote.
  const std::string& Bytes() const { return sink_.Bytes(); }

 private:
  OvConsole console_;
  Diagnostics diagnostics_;
  MacroTable macros_;
  ViewDefinedFlags viewDefined_{};
  OvFileBytes sourceBytes_;
  MemoryPartsSink sink_;
};

}  // namespace partsc
