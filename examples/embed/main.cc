// Compiles the parts source named on the command line in memory, prints its
// diagnostics, the member counts of its sizes and the listing of its model.
#include <partsc/partsc.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SOURCE\n", argv[0]);
    return 2;
  }
  const partsc::CompileResult result = partsc::CompileFile(argv[1]);
  for (const partsc::Diagnostic& d : result.diagnostics) {
    std::fprintf(stderr, "%s:%d: %s\n", d.file.c_str(), d.line, d.message.c_str());
  }
  if (!result.Compiled()) {
    return 1;
  }
  for (const partsc::PartsSize& size : result.model.sizes) {
    std::printf("size %s: %zu spec and %zu param entries\n", size.record.name.Str().c_str(),
                size.members.specs.size(), size.members.params.size());
  }
  std::printf("%s", partsc::ListModel(result.model, result.partsPath).text.c_str());
  return 0;
}
