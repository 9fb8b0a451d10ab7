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

// The fixed part holds the same four figures as the texts, packed two to a
// double word, the way the version comparisons of an installer read them.
TEST_F(VersionRecord, FixedFiguresAreTheProjectVersion) {
  constexpr DWORD file[] = {VELMORIN_FILE_VERSION_NUMBERS};
  constexpr DWORD product[] = {VELMORIN_PRODUCT_VERSION_NUMBERS};
  const VS_FIXEDFILEINFO* fixed = Fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, file[0] << 16 | file[1]);
  EXPECT_EQ(fixed->dwFileVersionLS, file[2] << 16 | file[3]);
  EXPECT_EQ(fixed->dwProductVersionMS, product[0] << 16 | product[1]);
  EXPECT_EQ(fixed->dwProductVersionLS, product[2] << 16 | product[3]);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(Text("FileVersion"), std::to_string(file[0]) + "." + std::to_string(file[1]) + "." +
                                     std::to_string(file[2]) + "." + std::to_string(file[3]));
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
