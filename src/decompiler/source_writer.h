// Writes the source of a parts image: every line laid out so that the
// compiler reads it back to the same records.
#pragma once

#include <string>

#include "decompiler/parts_image.h"

namespace partsc {

// The whole source, or empty with the reason why `image` has none.
std::string WriteSource(const PartsImage& image, std::string& reason);

}  // namespace partsc
