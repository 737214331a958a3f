// The session library: the command line of one run taken apart word by
// word. Which options there are and what each means is the program's: it
// hands the session its options and takes each word the session finds.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/ov_result.h"

namespace partsc {

// An option as the command line spells it.
struct OvOptionSpelling {
  std::string_view shortName;  // "-c", or empty
  std::string_view longName;   // "--control", or empty
  bool takesValue = false;
};

// The option a word of the command line names, as an index of `options`:
// "-c" or "--control" exactly; a short option with its value attached
// ("-cRUN.CTL"), a long one with its value after "=" ("--control=RUN.CTL"),
// which goes to `attached`. An exact spelling wins over a short one with a
// value attached ("-Werror" over "-W" with "error").
std::optional<size_t> FindOption(std::span<const OvOptionSpelling> options, std::string_view word,
                                 std::optional<std::string_view>& attached);

// What a program makes of the words of its command line.
class OvCommandLine {
 public:
  // What became of an option.
  enum class Taken { kTaken, kRefused, kEnd };

  virtual ~OvCommandLine() = default;
  // The options the program knows.
  virtual std::span<const OvOptionSpelling> Options() const = 0;
  // Takes the option `index` of Options(), given as `spelling` (without its
  // value), with its value (empty for one that takes none). kRefused: the
  // value is not one it takes, or the option may not be given again; kEnd:
  // the command line is done with (the help was asked for).
  virtual Taken TakeOption(size_t index, std::string_view spelling, std::string_view value) = 0;
  // Takes a word that is no option (or any word after "--"); false when no
  // such word was expected.
  virtual bool TakeOperand(std::string_view word) = 0;
  // After the last word: none when the options given go together, else
  // why not.
  virtual std::optional<std::string> Settle() = 0;
};

// What became of a command line: accepted (the help asked for ends it
// there), or refused, with why in the words of GNU programs
// ("unrecognized option '--bogus'").
enum class OvParse { kAccepted, kRefused };

class OvSession {
 public:
  explicit OvSession(OvCommandLine& program) : program_(program) {}

  // Takes the command line apart and hands each word to the program.
  OvResult<OvParse> ParseCommandLine(int argc, char** argv);

  // The name the program was started by ("partsc" when there is none).
  const std::string& ProgramName() const { return programName_; }

 private:
  OvCommandLine& program_;
  std::string programName_;
};

}  // namespace partsc
