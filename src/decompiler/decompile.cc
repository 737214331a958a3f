#include "decompiler/decompile.h"

#include <memory>
#include <string>
#include <utility>

#include "decompiler/parts_image.h"
#include "decompiler/recompile_check.h"
#include "decompiler/source_writer.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"

namespace partsc {

int DecompilePartsFile(const std::string& path, std::string& source, std::string& reason) {
  source.clear();
  reason.clear();
  // A closed run log and no error log: the listing only tells whether the
  // file reads back.
  OvFileIO nowhere;
  OvConsole console(OvConsole::InMemory{});
  Diagnostics diagnostics(console, std::string());
  const auto state = std::make_unique<PartsFileState>();
  PartsFile parts;
  const int listed = ListPartsFile(diagnostics, *state, parts, path, nowhere);
  if (listed != 0) {
    reason = UnreadableReason(listed, LastReadResult());
    return kDecompileUnreadable;
  }
  PartsImage image;
  if (!OvFileIO::ReadWholeFile(path, image.bytes)) {
    reason = "cannot be read";
    return kDecompileUnreadable;
  }
  FileBaseName(path, image.baseName);
  std::string problem = LoadImage(path, image);
  if (problem.empty()) {
    problem = NameBlocks(image);
  }
  if (problem.empty()) {
    problem = CheckSizeOrder(image);
  }
  if (!problem.empty()) {
    reason = std::move(problem);
    return kDecompileNotRecoverable;
  }
  std::string text = WriteSource(image, reason);
  if (text.empty()) {
    return kDecompileNotRecoverable;
  }
  const int checked = CheckSource(text, image, reason);
  if (checked != kDecompileOk) {
    return checked;
  }
  source = std::move(text);
  return kDecompileOk;
}

}  // namespace partsc
