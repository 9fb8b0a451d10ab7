#include "platform/system/LocalTime.h"

namespace velmorin {

long LocalTimeOf(std::time_t when, std::tm& local) {
  localtime_r(&when, &local);
  return local.tm_gmtoff;
}

}  // namespace velmorin
