#include "driver/line_end.h"

#include <string_view>

namespace partsc {

void TrimLineEnd(std::string& line) {
  const std::string_view text = line;
  size_t keep = text.size();
  while (keep > 0 && (text[keep - 1] == '\n' || text[keep - 1] == ' ' || text[keep - 1] == '\t')) {
    --keep;
  }
  line.erase(keep);
}

}  // namespace partsc
