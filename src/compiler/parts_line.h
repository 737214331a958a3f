// The $$PARTS line, macro lines and the macro table.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "compiler/compile_context.h"

namespace partsc {

// The parts name, which names the parts file, and a macro's name and value:
// texts the file does not keep in a field of their own. The parts comment is
// the header's comment (kHeaderTextSize).
inline constexpr int kPartsNameMax = 22;
inline constexpr int kMacroTextMax = 64;
inline constexpr int kMacroGrowth = 256;

struct MacroStore;

// The macro table of a run. The slots keep the order of first definition and
// never move an entry to another index; a hash index beside them answers
// what a search of the slots from index 0 upward would answer, since no two
// entries in use share a name. It grows by 256 slots at a time and keeps its
// storage from one source to the next.
class MacroTable {
 public:
  MacroTable();
  ~MacroTable();
  MacroTable(const MacroTable&) = delete;
  MacroTable& operator=(const MacroTable&) = delete;

  // The slot of the macro; none when it is not defined.
  std::optional<uint32_t> Find(std::string_view name) const;
  // Defines the macro, or gives it a new value: kOk, or kOutOfMemory with
  // the table as it was.
  CompileStatus Define(std::string_view name, std::string_view value);
  // The macro's value, or null; good until the macro is defined again or the
  // table is cleared.
  const std::string* Value(std::string_view name) const;
  void Clear();
  // How many macros the table holds, for tests.
  int32_t Count() const { return count_; }

 private:
  CompileStatus Append(std::string_view name, std::string_view value);

  std::unique_ptr<MacroStore> store_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

// A field whose cut the compile reports: the character that opens it, the
// characters it keeps, the message of a cut and its name in the warnings.
struct ReportedField {
  char delimiter;
  int limit;
  DiagnosticId tooLong;
  std::string_view what;
};

// The field on the line, cut to its limit, a cut reported on the line and
// linted for a split character; empty when the line has none.
std::string_view TakeField(CompileContext& context, std::string_view line, int lineNumber,
                           const ReportedField& field);

// The two numbers of a line's angle-bracket list ("<3,5>"), each cut to 16
// bits: an item that is not a number, or is missing, gives 0.
std::pair<int16_t, int16_t> AngleNumbers(std::string_view line);

// What a $$PARTS line gives: its parts name, its comment and the numbers of
// its list (AngleNumbers).
struct PartsLine {
  std::string name;
  std::string comment;
  int16_t value1 = 0;
  int16_t value2 = 0;
};

// The fields of the line; none, reported, when it has no parts name.
std::optional<PartsLine> CompilePartsLine(CompileContext& context, std::string_view line,
                                          int lineNumber);
// kOk (also when the line was refused with a warning), or kOutOfMemory.
CompileStatus CompileMacroLine(CompileContext& context, std::string_view line, int lineNumber);

// The value of the macro, as much of it as a parameter text takes, as a view
// of the table's own copy (good until the macro is defined again or the table
// is cleared); none when no macro has the name.
std::optional<std::string_view> GetMacroValue(const MacroTable& macros, std::string_view name);

}  // namespace partsc
