#include "platform/ov_util.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

namespace partsc {
namespace {

// The moment `seconds` after the epoch, in UTC; false beyond the year 9999,
// which a parts file's 16-bit year and a four-digit date cannot hold.
bool BrokenDownUtc(int64_t seconds, std::tm& moment) {
  constexpr int kLastYear = 9999;
  if (seconds > std::numeric_limits<std::time_t>::max()) {
    return false;
  }
  const auto when = static_cast<std::time_t>(seconds);
  return ::gmtime_r(&when, &moment) != nullptr && moment.tm_year + 1900 <= kLastYear;
}

// The moment SOURCE_DATE_EPOCH names (UTC) when it is set and valid,
// otherwise the local time now.
std::tm Now() {
  std::tm moment{};
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  int64_t seconds = 0;
  if (epoch != nullptr && OvUtil::ParseEpoch(epoch, seconds) && BrokenDownUtc(seconds, moment)) {
    return moment;
  }
  const std::time_t now = std::time(nullptr);
  if (::localtime_r(&now, &moment) == nullptr) {
    moment = std::tm{};
  }
  return moment;
}

}  // namespace

bool OvUtil::ParseEpoch(std::string_view text, int64_t& seconds) {
  if (text.empty()) {
    return false;
  }
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    const int digit = c - '0';
    if (value > (kMax - digit) / 10) {
      return false;
    }
    value = value * 10 + digit;
  }
  std::tm moment{};
  if (!BrokenDownUtc(value, moment)) {
    return false;
  }
  seconds = value;
  return true;
}

void OvUtil::GetLocalTime(int16_t date[3], int16_t time[4]) {
  const std::tm moment = Now();
  date[0] = static_cast<int16_t>(moment.tm_mday);
  date[1] = static_cast<int16_t>(moment.tm_mon + 1);
  date[2] = static_cast<int16_t>(static_cast<int64_t>(moment.tm_year) + 1900);
  time[0] = static_cast<int16_t>(moment.tm_hour);
  time[1] = static_cast<int16_t>(moment.tm_min);
  time[2] = static_cast<int16_t>(moment.tm_sec);
  time[3] = 0;
}

std::string LastSystemError() {
  return SystemErrorText(errno);
}

std::string SystemErrorText(int error) {
  switch (error) {
    case kRefusedForeignLink:
      return "a symbolic link that belongs to another user (partsc does not follow it)";
    case kRefusedForeignFile:
      return "the file belongs to another user, in a directory that others can write to";
    case kRefusedOtherNames:
      return "the file has other names (hard links), in a directory that others can write to";
    case kRefusedNotRegular:
      return "not a regular file";
    case kRefusedTooLarge:
      return "larger than 64 MiB, the most partsc reads of a control file";
    case kRefusedLocked:
      return "locked by another run for longer than partsc waits";
    default:
      break;
  }
  // strerror_r, unlike strerror, leaves other threads' texts alone; the GNU
  // one answers its text, in `buffer` or in a table of its own.
  char buffer[256] = {};
  return std::string(::strerror_r(error, buffer, sizeof buffer));
}

bool OvUtil::Utf8Locale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
      continue;
    }
    std::string codeset(value);
    const size_t dot = codeset.find('.');
    codeset = dot == std::string::npos ? std::string() : codeset.substr(dot + 1);
    codeset = codeset.substr(0, codeset.find('@'));
    for (char& c : codeset) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return codeset == "utf-8" || codeset == "utf8";
  }
  return false;
}

}  // namespace partsc
