// Windows system error codes as the operator sees them, and the file units
// that raise them: the reader and the atomic writer.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "platform/files/AtomicFileWriter.h"
#include "platform/files/FileErrors.h"
#include "platform/files/TextFileReader.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

TEST(FileErrorsWin, SystemCodesGoStraightIntoTheTable) {
  const struct {
    int err;
    int code;
    const char* message;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, 2, "File not found"},
      {ERROR_PATH_NOT_FOUND, 3, "Invalid filename"},
      {ERROR_TOO_MANY_OPEN_FILES, 4, "Too many open files"},
      {ERROR_ACCESS_DENIED, 5, "File access denied"},
      {ERROR_DISK_FULL, 101, "Disk full"},
      {ERROR_HANDLE_DISK_FULL, 101, "Disk full"},
      {ERROR_SHARING_VIOLATION, 32, "I/O error 32"},
      {ERROR_INVALID_NAME, 123, "I/O error 123"},
      {ERROR_WRITE_PROTECT, 19, "I/O error 19"},
      // System codes that happen to equal the run-time codes keep their number.
      {100, 100, "I/O error 100"},
      {101, 101, "I/O error 101"},
      {106, 106, "I/O error 106"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    EXPECT_EQ(InOutErrorCode(c.err, "C:\\out\\a.hex"), c.code);
    try {
      RaiseInOutError(c.err, "C:\\out\\a.hex");
      ADD_FAILURE() << "nothing raised";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code);
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(FileErrorsWin, FolderOfKnowsDrivesAndBothSlashes) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\out\\a.hex", "C:\\out"},
      {"C:\\a.hex", "C:\\"},
      {"C:a.hex", "C:"},
      {"\\a.hex", "\\"},
      {"out/a.hex", "out"},
      {"a.hex", "."},
      {"C:\\out\\sub\\", "C:\\out\\sub"},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(FolderOf(path), folder) << path;
}

// Runs `write` and gives the code of the EInOutError it raises, or -1.
template <typename Write>
int CodeOf(Write&& write) {
  try {
    write();
  } catch (const EInOutError& e) {
    return e.ErrorCode();
  }
  return -1;
}

TEST(FileErrorsWin, ReaderAndWriterReportTheSystemsCodes) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("folder.hex"));
  EXPECT_EQ(CodeOf([&] { TextFileReader reader(dir.File("missing.hex")); }), 2);
  EXPECT_EQ(CodeOf([&] { TextFileReader reader(dir.File("gone\\missing.hex")); }), 3);
  EXPECT_EQ(CodeOf([&] { TextFileReader reader(dir.File("folder.hex")); }), 5);
  const auto write = [](const std::string& path) {
    return CodeOf([&] { AtomicFileWriter::WriteWholeFile(path, "new", Durability::Synced); });
  };
  EXPECT_EQ(write(dir.File("gone\\out.hex")), 3);
  EXPECT_EQ(write(dir.File("folder.hex")), 5);
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.hex")));
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);  // no temporary file left behind
}

TEST(FileErrorsWin, ReadOnlyOrLockedTargetKeepsItsContents) {
  test::TempDir dir;
  const std::string target = dir.File("out.hex");
  test::WriteFileBytes(target, "old");
  ASSERT_TRUE(::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(CodeOf([&] { AtomicFileWriter::WriteWholeFile(target, "new", Durability::Normal); }),
            5);
  ASSERT_TRUE(::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(test::ReadFileBytes(target), "old");

  // Held open without sharing, as a burner still reading it might.
  const HANDLE held = ::CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_NE(CodeOf([&] { AtomicFileWriter::WriteWholeFile(target, "new", Durability::Synced); }),
            -1);
  ::CloseHandle(held);
  EXPECT_EQ(test::ReadFileBytes(target), "old");
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);

  // Free again, the same write lands whole.
  AtomicFileWriter::WriteWholeFile(target, "new", Durability::Synced);
  EXPECT_EQ(test::ReadFileBytes(target), "new");
  EXPECT_EQ(test::EntriesIn(dir.Path()), 1);
}

TEST(FileErrorsWin, ReplacingKeepsHiddenFilesHidden) {
  test::TempDir dir;
  const std::string target = dir.File("velmorin.ini");
  test::WriteFileBytes(target, "old");
  ASSERT_TRUE(::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_HIDDEN));
  AtomicFileWriter::WriteWholeFile(target, "new", Durability::Synced);
  EXPECT_EQ(test::ReadFileBytes(target), "new");
  EXPECT_NE(::GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace velmorin
