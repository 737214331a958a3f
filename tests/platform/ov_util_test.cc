#include "platform/ov_util.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

namespace partsc {
namespace {

// The first of LC_ALL, LC_CTYPE and LANG that is set and not empty names the
// character set; its codeset is compared without case and without an
// "@" modifier.
TEST(OvUtilTest, TheFirstLocaleVariableSetSaysWhetherTextIsUtf8) {
  struct Case {
    std::array<const char*, 3> values;  // LC_ALL, LC_CTYPE, LANG; nullptr: unset
    bool utf8;
  };
  const Case cases[] = {
      {{"C.UTF-8", nullptr, "C"}, true},
      {{"", "", "en_US.utf8@euro"}, true},
      {{"POSIX", nullptr, "en_US.UTF-8"}, false},
      {{nullptr, "de_DE.ISO-8859-1", "en_US.UTF-8"}, false},
      {{nullptr, "en_US", "en_US.UTF-8"}, false},
      {{nullptr, nullptr, nullptr}, false},
  };
  constexpr std::array<const char*, 3> kNames = {"LC_ALL", "LC_CTYPE", "LANG"};
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    for (size_t i = 0; i < kNames.size(); ++i) {
      if (c.values[i] == nullptr) {
        ::unsetenv(kNames[i]);
      } else {
        ::setenv(kNames[i], c.values[i], 1);
      }
    }
    EXPECT_EQ(OvUtil::Utf8Locale(), c.utf8);
  }
}

}  // namespace
}  // namespace partsc
