// Deterministic synthetic parts libraries for the benchmarks: a settings
// file, a control file and parts sources, sized by a few numbers. The same
// shape always gives the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace partsc::bench {

// The shape of a library. Every source has the same shape; sources differ in
// their names and in the values the generator draws for them.
struct LibraryShape {
  int sources = 1;
  int sizesPerSource = 1;  // at most 2048: every size is accepted
  int membersPerSize = 1;  // a quarter spec lines, the rest param lines
  int macrosPerSource = 1;
  int commonMembers = 2;
};

struct Library {
  std::string dir;          // holds ORVA.SET, LIBRARY.CTL, src/ and parts/
  std::string controlName;  // the name typed at the prompt
  std::string settingsName;
  std::vector<std::string> sourcePaths;  // in control-file order
  std::vector<std::string> partsNames;   // parts name of each source
  int64_t sourceBytes = 0;
};

// The text of source `index` (0-based) of a library of that shape. Every line
// is shorter than 79 characters and the source compiles without a
// diagnostic.
std::string SourceText(const LibraryShape& shape, int index);

// The parts name of source `index`.
std::string PartsNameOf(int index);

// Writes a whole library under `dir` (created when missing; files of an
// earlier library of another shape may stay). Throws std::runtime_error when
// a file cannot be written.
Library GenerateLibrary(const std::string& dir, const LibraryShape& shape);

}  // namespace partsc::bench
