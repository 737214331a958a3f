// Any bytes as the JSON document that --from-json reads, through the whole
// program: it ends with 0 or 1, says why it refused in short lines that name
// the document, never throws or runs away, and a parts file it wrote lists
// (unless the document said where the file's reading had stopped).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_env.h"
#include "listing/listing.h"
#include "platform/ov_file_io.h"
#include "run_in_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  Context& context = BeginInput();
  const std::string text(AsText(data, size));
  WriteInput("doc.json", text);
  const RunOutput run = RunInMemory({"--from-json", "doc.json", "-o", "doc.prt"});
  Require(run.status == 0 || run.status == 1, "the run ends with 0 or 1");
  Require(run.out.empty(), "nothing goes to standard output");
  if (run.status == 1) {
    // One line for each problem, each naming the document and quoting only a
    // short piece of it.
    Require(!run.err.empty() && EachLineBegins(run.err, {"partsc: doc.json: "}),
            "each line of a refusal names the document");
    for (size_t at = 0, end = 0; at < run.err.size(); at = end + 1) {
      end = run.err.find('\n', at);
      Require(end != std::string::npos && end - at <= 600, "a line of a refusal is short");
    }
  } else {
    OvFileIO nowhere;
    nowhere.FopenMemory();
    OvFileBytes bytes;
    const bool stopped = text.find("\"whole\":false") != std::string::npos ||
                         text.find("\"whole\": false") != std::string::npos;
    Require(stopped || ListPartsFile(context.diagnostics, "doc.prt", nowhere, "doc.prt", bytes).Listed(),
            "a parts file written from a whole document lists");
  }
  EndInput();
  return 0;
}
