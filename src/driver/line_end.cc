#include "driver/line_end.h"

namespace partsc {

void TrimLineEnd(std::string& line) {
  size_t keep = line.size();
  while (keep > 0) {
    const char c = line[keep - 1];
    if (c != '\t' && c != '\n' && c != ' ') {
      break;
    }
    --keep;
  }
  line.resize(keep);
}

}  // namespace partsc
