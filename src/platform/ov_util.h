// Clock and console services of the base library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace partsc {

class OvUtil {
 public:
  // date: day, month, year. time: hour, minute, second, hundredths.
  // The local time, or the moment SOURCE_DATE_EPOCH names (taken in UTC).
  // An invalid SOURCE_DATE_EPOCH is ignored here (initfiles refuses it).
  static void GetLocalTime(int16_t date[3], int16_t time[4]);

  // A value of SOURCE_DATE_EPOCH: decimal digits only, no sign, fitting in
  // 64 bits and naming a moment the calendar conversion accepts.
  static bool ParseEpoch(std::string_view text, int64_t& seconds);
};

// The system's words for the error of the last failed call
// ("No such file or directory").
std::string LastSystemError();

// Levels of dbgprint.
inline constexpr int kConsoleProgress = 2;
inline constexpr int kConsoleEcho = 3;
inline constexpr int kConsoleFatal = 4;

// Console output by level: 2 progress lines (standard output; nothing while
// the session is quiet), 3 diagnostic echoes (standard output, never
// silenced), 4 fatal errors (standard error). Standard output is buffered as
// the C library does it (line by line on a terminal, in blocks into a file or
// a pipe) and flushed before a fatal error is written, before standard input
// is read and at exit, so the console shows everything in the order written.
void dbgprint(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Silences (or lets through again) the progress lines of level 2; the
// session sets it from the command line.
void SetConsoleQuiet(bool quiet);
bool ConsoleQuiet();
// Sends what the console holds on its way now; the driver calls it after each
// input, so that a run piped into another program shows its progress source
// by source.
void dbgflush();

}  // namespace partsc
