// The one way a test case that holds on POSIX alone is skipped in the Windows
// build: the case stays where its unit is tested, compiles on both systems,
// and says at its start why Windows can't run it:
//
//   VELMORIN_SKIP_ON_WINDOWS(test::kFolderAttributeAllowsNewFiles);
//
// A case that needs POSIX calls to compile at all lives in a *PosixTest.cpp
// file, which CMake builds for POSIX alone; a Qt Test case asks WindowsBuild()
// and QSKIPs. SystemSkipPosix.cpp and SystemSkipWin.cpp are the two halves.
#pragma once

namespace velmorin::test {

// True in the Windows build.
bool WindowsBuild();

// The reason most such cases share: a folder without write permission refuses
// new files on POSIX, while its read-only attribute stops none on Windows.
inline constexpr const char* kFolderAttributeAllowsNewFiles =
    "a folder's read-only attribute does not stop new files on Windows";

}  // namespace velmorin::test

// Ends the current GoogleTest case as skipped, with `why`, in the Windows build.
#define VELMORIN_SKIP_ON_WINDOWS(why) \
  if (::velmorin::test::WindowsBuild()) GTEST_SKIP() << (why)
