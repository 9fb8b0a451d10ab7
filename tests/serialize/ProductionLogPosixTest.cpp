// The record's local time under POSIX zone strings, set through TZ.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "serialize/ProductionLog.h"

namespace velmorin {
namespace {

TEST(ProductionLogLine, LocalTimeCarriesItsOffset) {
  const char* saved = std::getenv("TZ");
  const std::string restore = saved ? saved : "";
  const struct {
    const char* zone;
    const char* text;
  } cases[] = {
      {"UTC0", "1970-01-01T00:00:00+00:00"},
      // POSIX zone strings count west as positive: "X-05:30" is 5:30 east.
      {"IST-05:30", "1970-01-01T05:30:00+05:30"},
      {"EST5", "1969-12-31T19:00:00-05:00"},
  };
  for (const auto& c : cases) {
    ::setenv("TZ", c.zone, 1);
    ::tzset();
    EXPECT_EQ(ProductionLog::LocalTime(0), c.text) << c.zone;
  }
  if (saved) {
    ::setenv("TZ", restore.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace
}  // namespace velmorin
