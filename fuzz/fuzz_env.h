// What every fuzz target shares: a private working directory for the whole
// process, a quiet console, and a clean start and end for each input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace partsc::fuzz {

// Makes the private working directory on the first call and moves into it,
// so that the parts class directory and both logs resolve there; sends the
// console (standard output) to /dev/null and fixes SOURCE_DATE_EPOCH so that
// every parts file is the same for the same input. Answers the directory.
const std::string& EnterWorkDir();

// The start of one input: the working directory entered, the fault seams and
// every process-wide table reset, so that one input cannot change what the
// next one does, and the error log open.
void BeginInput();

// The end of one input: the error log closed, every file the input left in
// the working directory removed, and the seams and tables reset again.
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
