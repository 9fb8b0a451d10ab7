// The version record of the Windows executable (ui/velmorin.rc), linked into
// this test program and read back the way Explorer's property page reads it.
#include <gtest/gtest.h>
#include <windows.h>
#include <winver.h>

#include <string>
#include <vector>

#include "Version.h"

namespace velmorin {
namespace {

class VersionRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    char own[MAX_PATH + 1] = {};
    ASSERT_GT(::GetModuleFileNameA(nullptr, own, sizeof own), 0u);
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(own, &ignored);
    ASSERT_GT(size, 0u) << "no version record in " << own;
    FData.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoA(own, 0, size, FData.data()));
  }

  const VS_FIXEDFILEINFO* Fixed() {
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(FData.data(), "\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
      return nullptr;
    }
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }

  std::string Text(const std::string& name) {
    const std::string path = "\\StringFileInfo\\040904E4\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(FData.data(), path.c_str(), &value, &length)) return "(absent)";
    return std::string(static_cast<const char*>(value));
  }

  std::vector<char> FData;
};

TEST_F(VersionRecord, FileVersionIs1004AndProductVersion1001) {
  const VS_FIXEDFILEINFO* fixed = Fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);  // 1.0
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000004u);  // .0.4
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionRecord, NamesAndTextsMatchTheProgramsOwnFigures) {
  EXPECT_EQ(Text("ProductName"), "Velmorin");
  EXPECT_EQ(Text("InternalName"), "Velmorin");
  EXPECT_EQ(Text("ProductName"), version::kProductName);
  EXPECT_EQ(Text("InternalName"), version::kInternalName);
  EXPECT_EQ(Text("FileVersion"), version::kFileVersion);
  EXPECT_EQ(Text("ProductVersion"), version::kProductVersion);
}

}  // namespace
}  // namespace velmorin
