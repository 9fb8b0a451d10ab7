#include "platform/system/LocalTime.h"

namespace velmorin {

long LocalTimeOf(std::time_t when, std::tm& local) {
  localtime_s(&local, &when);
  std::tm utc{};
  gmtime_s(&utc, &when);
  // The offset is the difference between the two readings of the same moment.
  utc.tm_isdst = local.tm_isdst;
  return static_cast<long>(std::difftime(std::mktime(&local), std::mktime(&utc)));
}

}  // namespace velmorin
