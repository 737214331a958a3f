#include "platform/ov_util.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
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
  const std::optional<int64_t> seconds = epoch ? OvUtil::ParseEpoch(epoch) : std::nullopt;
  if (seconds && BrokenDownUtc(*seconds, moment)) {
    return moment;
  }
  const std::time_t now = std::time(nullptr);
  if (::localtime_r(&now, &moment) == nullptr) {
    moment = std::tm{};
  }
  return moment;
}

}  // namespace

std::optional<int64_t> OvUtil::ParseEpoch(std::string_view text) {
  // Digits only: from_chars would take a sign.
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  std::tm moment{};
  if (error != std::errc() || !BrokenDownUtc(value, moment)) {
    return std::nullopt;
  }
  return value;
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

std::string SystemErrorText(int error) {
  // In the order of their numbers, from kRefusedForeignLink on.
  constexpr const char* kRefusals[] = {
      "a symbolic link that belongs to another user (partsc does not follow it)",
      "the file belongs to another user, in a directory that others can write to",
      "the file has other names (hard links), in a directory that others can write to",
      "not a regular file",
      "larger than 64 MiB, the most partsc reads of a control file",
      "locked by another run for longer than partsc waits",
      "the system gives no random bytes for a new file name",
  };
  static_assert(std::size(kRefusals) == kRefusedNoRandom - kRefusedForeignLink + 1);
  if (error >= kRefusedForeignLink && error <= kRefusedNoRandom) {
    return kRefusals[error - kRefusedForeignLink];
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
    std::transform(codeset.begin(), codeset.end(), codeset.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return codeset == "utf-8" || codeset == "utf8";
  }
  return false;
}

}  // namespace partsc
