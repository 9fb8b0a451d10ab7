// The Windows half of ReadWholeFile: CreateFileA sharing the file with every
// other reader and writer, GetFileSizeEx for the size, ReadFile until the end.
#include <windows.h>

#include "platform/files/ReadWholeFile.h"

namespace velmorin {

int ReadWholeFile(const std::string& fileName, std::string& text) {
  text.clear();
  const HANDLE file = ::CreateFileA(fileName.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD err = ::GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? 0 : static_cast<int>(err);
  }
  LARGE_INTEGER size{};
  if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    text.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  char buffer[65536];
  int result = 0;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      result = static_cast<int>(::GetLastError());
      break;
    }
    if (got == 0) break;
    text.append(buffer, got);
  }
  ::CloseHandle(file);
  return result;
}

}  // namespace velmorin
