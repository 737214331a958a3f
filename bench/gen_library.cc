#include "gen_library.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace partsc::bench {
namespace {

namespace fs = std::filesystem;

// A small fixed generator (64-bit LCG), so that the drawn values are the
// same on every host and library version.
class Draw {
 public:
  explicit Draw(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}

  uint32_t Below(uint32_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state_ >> 33) % bound;
  }

 private:
  uint64_t state_;
};

// printf into a std::string; every generated line is short.
template <class... Args>
std::string Format(const char* format, Args... args) {
  char buffer[128];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  if (n < 0 || n >= static_cast<int>(sizeof buffer)) {
    throw std::runtime_error("generated line too long");
  }
  return std::string(buffer, static_cast<size_t>(n));
}

void AddLine(std::string& text, const std::string& line) {
  if (line.size() > 78) {
    throw std::runtime_error("generated line longer than 78 characters: " + line);
  }
  text += line;
  text += '\n';
}

std::string MacroName(int index) {
  return Format("M%04d", index);
}

// Unique within a source and of varying length (multiplying by an odd
// number is a bijection modulo 2^32), so that sorting them has work to do.
std::string SizeName(int index) {
  const uint32_t scrambled = static_cast<uint32_t>(index) * 2654435761U;
  return Format("S%u", scrambled);
}

void AddMacros(std::string& text, const LibraryShape& shape, Draw& draw) {
  for (int i = 0; i < shape.macrosPerSource; ++i) {
    AddLine(text, Format("t !%s! (%u.%u)", MacroName(i).c_str(), draw.Below(100), draw.Below(10)));
  }
}

// A macro reference that the source defines ("{M0000}" when it has none,
// which then expands to a lone brace).
std::string MacroRef(const LibraryShape& shape, Draw& draw) {
  const uint32_t count =
      shape.macrosPerSource > 0 ? static_cast<uint32_t>(shape.macrosPerSource) : 1;
  // Appended piece by piece: g++ 12 at -O3 warns that `"{" + name` may copy
  // overlapping bytes (a false positive of its -Wrestrict).
  std::string ref = "{";
  ref += MacroName(static_cast<int>(draw.Below(count)));
  ref += '}';
  return ref;
}

void AddHead(std::string& text, const LibraryShape& shape, int index) {
  AddLine(text,
          Format("$$PARTS !%s! <3,5> \"Synthetic parts %d\"", PartsNameOf(index).c_str(), index));
  AddLine(text, "$$SPEC <12,2>");
  AddLine(text, "$$APG");
  AddLine(text, "/ Three of the six views.");
  AddLine(text, Format("$TOP !T%05d! \"seen from above\"", index));
  AddLine(text, Format("$FRONT !F%05d! \"seen from the front\"", index));
  AddLine(text, Format("$RIGHT !R%05d!", index));
  if (shape.commonMembers > 0) {
    AddLine(text, "$$COMMON \"common\"");
    for (int m = 0; m < shape.commonMembers; ++m) {
      if (m % 2 == 0) {
        AddLine(text, Format("s <%d,1>\"MATERIAL%d\"", m + 1, m));
      } else {
        AddLine(text, Format("p !C%03d! ({M0000}) \"common value\"", m));
      }
    }
  }
  AddLine(text, Format("$$TITLE \"Synthetic sizes of source %d\"", index));
  static const char* const kSortLines[] = {"$$LSORT", "$$CSORT", "$$NSORT"};
  AddLine(text, kSortLines[index % 3]);
}

std::string SpecLine(int member, Draw& draw) {
  if (draw.Below(3) == 0) {
    return Format("s [%u] <%u,0>\"HEAD%02d\"", 3 + draw.Below(7), 1 + draw.Below(200), member);
  }
  return Format("s <%u,1>\"SPEC%02d\"", 1 + draw.Below(200), member);
}

std::string ParamLine(const LibraryShape& shape, int member, Draw& draw) {
  const std::string a = MacroRef(shape, draw);
  const std::string b = MacroRef(shape, draw);
  switch (draw.Below(4)) {
    case 0:
      return Format("p !P%03d! (%s*2+%s) <0,1> \"derived value\"", member, a.c_str(), b.c_str());
    case 1:
      return Format("p !P%03d! (%s)", member, a.c_str());
    case 2:
      return Format("p !P%03d! <1,0> \"taken from the table\"", member);
    default:
      return Format("p !P%03d! (%s-%s/4) <0,0>", member, a.c_str(), b.c_str());
  }
}

void AddSizes(std::string& text, const LibraryShape& shape, Draw& draw) {
  for (int s = 0; s < shape.sizesPerSource; ++s) {
    AddLine(text, Format("$$SIZE \"%s\" !size %d of %d!", SizeName(s).c_str(), s + 1,
                         shape.sizesPerSource));
    for (int m = 0; m < shape.membersPerSize; ++m) {
      AddLine(text, m % 4 == 0 ? SpecLine(m, draw) : ParamLine(shape, m, draw));
    }
  }
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace

std::string PartsNameOf(int index) {
  return Format("p%05d", index);
}

std::string SourceText(const LibraryShape& shape, int index) {
  Draw draw(static_cast<uint64_t>(index) + 1);
  std::string text;
  AddLine(text, Format("/ Synthetic parts source %d: %d sizes of %d members, %d macros.", index,
                       shape.sizesPerSource, shape.membersPerSize, shape.macrosPerSource));
  AddMacros(text, shape, draw);
  AddHead(text, shape, index);
  AddSizes(text, shape, draw);
  AddLine(text, "$$END");
  return text;
}

Library GenerateLibrary(const std::string& dir, const LibraryShape& shape) {
  Library library;
  library.dir = dir;
  library.controlName = "LIBRARY.CTL";
  library.settingsName = "ORVA.SET";
  const fs::path root(dir);
  fs::create_directories(root / "src");
  fs::create_directories(root / "parts");
  WriteText(root / library.settingsName,
            "; Synthetic library written by the benchmark generator.\n"
            "#PARTS:CTL# = .\n#PARTS:INP# = src\n#PARTS:BIN# = parts\n");

  std::string control = Format("/ Synthetic library: %d sources.\n", shape.sources);
  for (int i = 0; i < shape.sources; ++i) {
    const std::string name = Format("s%05d.src", i);
    const std::string text = SourceText(shape, i);
    const fs::path path = root / "src" / name;
    WriteText(path, text);
    control += name + "\n";
    library.sourcePaths.push_back(path.string());
    library.partsNames.push_back(PartsNameOf(i));
    library.sourceBytes += static_cast<int64_t>(text.size());
  }
  WriteText(root / library.controlName, control);
  return library;
}

}  // namespace partsc::bench
