// The Windows half of ExecAndWait.h: CreateProcessA with the show-window
// value, then the waits.
#include <windows.h>

#include <exception>
#include <vector>

#include "platform/process/ExecAndWait.h"

namespace velmorin {

std::uint32_t ExecAndWait(const std::string& commandLine, WindowShow show,
                          ProcessObserver* observer) {
  DWORD result = kExecFailed;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show == WindowShow::Hidden ? SW_HIDE : SW_SHOW);
  PROCESS_INFORMATION process{};
  // CreateProcessA may write into the command line, so it gets a copy.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process)) {
    return result;
  }
  std::exception_ptr observerError;
  if (observer != nullptr) {
    try {
      observer->Started(static_cast<ProcessId>(process.dwProcessId));
    } catch (...) {
      observerError = std::current_exception();
    }
  }
  // A program without a window returns from this at once; its outcome does not matter.
  WaitForInputIdle(process.hProcess, INFINITE);
  if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.hProcess, &exitCode)) result = exitCode;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (observerError) std::rethrow_exception(observerError);
  if (observer != nullptr) observer->Finished(result);
  return result;
}

}  // namespace velmorin
