// Clock services of the base library, and the system's words for an error.
#pragma once

#include <cstdint>
#include <optional>
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
  // 64 bits and naming a moment the calendar conversion accepts; its
  // seconds, or none.
  static std::optional<int64_t> ParseEpoch(std::string_view text);

  // Whether the locale of the process's environment writes UTF-8: the first
  // of LC_ALL, LC_CTYPE and LANG that is set and not empty names the UTF-8
  // codeset ("en_US.UTF-8", "C.utf8").
  static bool Utf8Locale();
};

// partsc's own reasons for refusing a file. They travel where the system's
// error numbers do (OvOpened::error, OvFileIO::Error) and lie above all of
// them, so that SystemErrorText gives their words as well.
inline constexpr int kRefusedForeignLink = 1 << 16;  // a symbolic link of another user
inline constexpr int kRefusedForeignFile = kRefusedForeignLink + 1;  // another user's, shared
inline constexpr int kRefusedOtherNames = kRefusedForeignLink + 2;   // hard links, shared
inline constexpr int kRefusedNotRegular = kRefusedForeignLink + 3;   // no regular file
inline constexpr int kRefusedTooLarge = kRefusedForeignLink + 4;     // above kTextReadLimit
inline constexpr int kRefusedLocked = kRefusedForeignLink + 5;       // the lock wait ran out
inline constexpr int kRefusedNoRandom = kRefusedForeignLink + 6;     // no random bytes for a name

// The most bytes partsc reads of a control file: 64 MiB, as of a source.
inline constexpr int64_t kTextReadLimit = int64_t{64} << 20;

// The words of an error number ("No such file or directory") or of a reason above.
std::string SystemErrorText(int error);

}  // namespace partsc
