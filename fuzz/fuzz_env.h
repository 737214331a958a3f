// What every fuzz target shares: a private working directory for the whole
// process, a quiet console, and a clean start and end for each input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "compiler/compile_context.h"
#include "compiler/compile_passes.h"
#include "compiler/parts_line.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_file.h"
#include "storage/file_sinks.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"

namespace partsc::fuzz {

// What one input is compiled and listed with, made afresh for each input: a
// console on the process's standard output (sent to /dev/null), the
// diagnostics with the error log of "fuzz.ctl", and the run's tables.
struct Context {
  Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  CompileContext Compile() { return {console, diagnostics, macros, viewDefined, sourceBytes}; }
  // The parts file written in place in the working directory.
  PartsOutput Output() { return {classes, sink}; }

  OvConsole console;
  Diagnostics diagnostics;
  PartsFileSink sink;
  MacroTable macros;
  ViewDefinedFlags viewDefined{};
  OvFileBytes sourceBytes;
  OvClassDirectories classes;
};

// Makes the private working directory on the first call and moves into it,
// so that the parts class directory and both logs resolve there; sends the
// console (standard output) to /dev/null and fixes SOURCE_DATE_EPOCH so that
// every parts file is the same for the same input. Answers the directory.
const std::string& EnterWorkDir();

// The start of one input: the working directory entered, the fault seams
// reset and a fresh context made, so that one input cannot change what the
// next one does, with the error log open. Answers the context.
Context& BeginInput();

// The end of one input: the error log closed, every file the input left in
// the working directory removed, and the seams reset again.
void EndInput();

// Writes `bytes` to `name` in the working directory; answers its full path.
std::string WriteInput(const std::string& name, std::string_view bytes);

// The whole content of a file; empty when it cannot be read.
std::string ReadWhole(const std::string& path);

// Stops the process (not through exit()) when a property that must hold for
// every input does not; the message names the property.
void Require(bool holds, const char* property);

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

}  // namespace partsc::fuzz
