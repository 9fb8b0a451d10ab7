// The Windows half of the record file: CreateFileA for appending, one
// WriteFile, FlushFileBuffers.
#include <windows.h>

#include "platform/files/FileErrors.h"
#include "platform/files/RecordFileHandle.h"

namespace velmorin {

RecordFileHandle::RecordFileHandle(const std::string& fileName) : FFileName(fileName) {
  const HANDLE file =
      ::CreateFileA(fileName.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) RaiseInOutError(static_cast<int>(::GetLastError()), fileName);
  FHandle = file;
  if (::GetFileType(file) != FILE_TYPE_DISK) Fail(ERROR_ACCESS_DENIED);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) Fail(static_cast<int>(::GetLastError()));
  FSize = static_cast<std::uint64_t>(size.QuadPart);
}

void RecordFileHandle::Release() noexcept {
  if (FHandle != nullptr) {
    ::CloseHandle(static_cast<HANDLE>(FHandle));
    FHandle = nullptr;
  }
}

char RecordFileHandle::LastByte() {
  OVERLAPPED at{};
  const ULONGLONG last = FSize - 1;
  at.Offset = static_cast<DWORD>(last);
  at.OffsetHigh = static_cast<DWORD>(last >> 32);
  char c = 0;
  DWORD got = 0;
  if (!::ReadFile(static_cast<HANDLE>(FHandle), &c, 1, &got, &at) || got != 1) {
    Fail(static_cast<int>(::GetLastError()));
  }
  return c;
}

void RecordFileHandle::Append(std::string_view block) {
  DWORD written = 0;
  if (!::WriteFile(static_cast<HANDLE>(FHandle), block.data(), static_cast<DWORD>(block.size()),
                   &written, nullptr) ||
      written != block.size()) {
    Fail(static_cast<int>(::GetLastError()));
  }
}

void RecordFileHandle::Close() {
  if (!::FlushFileBuffers(static_cast<HANDLE>(FHandle))) Fail(static_cast<int>(::GetLastError()));
  Release();
}

}  // namespace velmorin
