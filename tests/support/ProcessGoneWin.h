// Whether a Windows process has ended, for the tests that check what stopping
// a burner left running. Windows only: only Windows tests include it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace velmorin::test {

inline bool ProcessGone(std::int64_t pid) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return true;
  const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  ::CloseHandle(process);
  return ended;
}

}  // namespace velmorin::test
