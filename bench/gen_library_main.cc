// Writes a synthetic parts library:
//   partsc_gen_library DIR SOURCES SIZES MEMBERS MACROS [COMMON]
// DIR then holds ORVA.SET, LIBRARY.CTL, src/ and an empty parts/; run it with
//   cd DIR && printf 'LIBRARY.CTL\n' | partsc -pORVA.SET
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "gen_library.h"

namespace {

bool ParseCount(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < low || parsed > high) {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  partsc::bench::LibraryShape shape;
  const bool shapeOk = (argc == 6 || argc == 7) && ParseCount(argv[2], 1, 99999, shape.sources) &&
                       ParseCount(argv[3], 0, 2048, shape.sizesPerSource) &&
                       ParseCount(argv[4], 0, 512, shape.membersPerSize) &&
                       ParseCount(argv[5], 0, 9999, shape.macrosPerSource) &&
                       (argc == 6 || ParseCount(argv[6], 0, 256, shape.commonMembers));
  if (!shapeOk) {
    std::fprintf(stderr,
                 "usage: %s DIR SOURCES(1-99999) SIZES(0-2048) MEMBERS(0-512) MACROS(0-9999) "
                 "[COMMON(0-256)]\n",
                 argc > 0 ? argv[0] : "partsc_gen_library");
    return 2;
  }
  try {
    const partsc::bench::Library library = partsc::bench::GenerateLibrary(argv[1], shape);
    std::printf("%s: %zu sources, %lld bytes of source\n", library.dir.c_str(),
                library.sourcePaths.size(), static_cast<long long>(library.sourceBytes));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
