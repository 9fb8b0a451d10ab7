#include <gtest/gtest.h>

#include "platform/files/FileErrors.h"

namespace velmorin {
namespace {

TEST(FileErrors, RunTimeCodesHaveTheirOwnTexts) {
  EXPECT_EQ(EInOutError(100).Message(), "Read beyond end of file");
  EXPECT_EQ(EInOutError(106).Message(), "Invalid numeric input");
  EXPECT_EQ(EInOutError(32).Message(), "I/O error 32");
}

}  // namespace
}  // namespace velmorin
