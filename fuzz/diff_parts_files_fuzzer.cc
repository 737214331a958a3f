// Any bytes as two parts files (the first byte tells where the second
// begins, in 256ths of the rest), compared by --diff as text and as JSON:
// 0, 1 or 2, lines that begin as a diff's do (no name or text forges one),
// a JSON line that parses, and output within a small multiple of the input.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz_env.h"
#include "run_in_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  if (size == 0) {
    return 0;
  }
  BeginInput();
  const std::string_view rest = AsText(data + 1, size - 1);
  const size_t split = rest.size() * data[0] / 256;
  WriteInput("old.prt", rest.substr(0, split));
  WriteInput("new.prt", rest.substr(split));
  const size_t bound = 64 * size + 65536;
  const RunOutput text = RunInMemory({"--diff", "old.prt", "new.prt"});
  Require(text.status >= 0 && text.status <= 2, "the text diff ends with 0, 1 or 2");
  Require(EachLineBegins(text.out, {"--- ", "+++ ", "@@ ", "-", "+"}),
          "every line of the text diff begins as a diff's line does");
  Require(text.out.size() <= bound, "the text diff stays within a multiple of its input");
  const RunOutput json = RunInMemory({"--diff", "--format=json", "old.prt", "new.prt"});
  Require(json.status == text.status, "both forms end alike");
  Require(json.out.size() <= 2 * bound, "the JSON diff stays within a multiple of its input");
  if (json.status != 2) {
    Require(json.out.ends_with("\n") && json.out.find('\n') == json.out.size() - 1 &&
                nlohmann::json::accept(json.out),
            "the JSON diff is one line of JSON");
  }
  EndInput();
  return 0;
}
