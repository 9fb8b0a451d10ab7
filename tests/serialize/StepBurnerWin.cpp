// A burner for the watched burner's and the running-burner box's tests on
// Windows, where there is no shell to script one with: it does its arguments
// in order, one step each, and flushes its output after every step. Arguments
// that name no step are data (the image path, say).
//   say:TEXT        TEXT and a line break on standard output
//   err:TEXT        the same on standard error
//   lines:N:TEXT    "TEXT 1" to "TEXT N", a line each
//   long:N          one line of N letters x
//   waitfor:PATH    waits until PATH exists
//   sleep:MS        sleeps
//   forever         sleeps for good
//   child           starts a copy of itself that sleeps for good, sharing our
//                   output, and says "grandchild <its id>"
//   detached        the same, but detached from our console and in a process
//                   group of its own, and says "pid <its id>"
//   orphan          starts a copy that does "detached" and ends at once, so
//                   that the sleeper's parent is gone
//   pid:PATH        writes our id to PATH
//   childto:PATH    starts a copy that sleeps for good, as "child", and
//                   writes its id to PATH (for a burner whose output is
//                   nobody's to read)
//   show:PATH       writes "flags <dwFlags> show <wShowWindow>" of its start-up
//                   information to PATH
//   hangif:SUFFIX   when the last argument ends with SUFFIX says "hanging on
//                   <it>" and sleeps for good, else says "burned <it>"
//   exit:CODE       ends with CODE (decimal or 0x...)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string ThisProgram() {
  char path[MAX_PATH + 1] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// Starts a copy of this program with `steps`; its id, or 0.
DWORD StartCopy(const std::string& steps, DWORD flags, BOOL inheritHandles) {
  std::string line = "\"" + ThisProgram() + "\" " + steps;
  std::vector<char> buffer(line.begin(), line.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, inheritHandles, flags, nullptr,
                        nullptr, &startup, &process)) {
    return 0;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return process.dwProcessId;
}

void Forever() {
  for (;;) ::Sleep(1000);
}

}  // namespace

int main(int argc, char** argv) {
  // Written out at the end of each step: a flood in large pieces, as a
  // program that prints much would write it.
  static char buffer[64 * 1024];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  const std::string last = argc > 1 ? argv[argc - 1] : "";
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    const std::size_t colon = step.find(':');
    const std::string name = step.substr(0, colon);
    const std::string value = colon == std::string::npos ? "" : step.substr(colon + 1);
    if (name == "say") {
      std::printf("%s\n", value.c_str());
    } else if (name == "err") {
      std::fprintf(stderr, "%s\n", value.c_str());
    } else if (name == "lines") {
      const std::size_t second = value.find(':');
      const int count = std::atoi(value.substr(0, second).c_str());
      const std::string text = second == std::string::npos ? "" : value.substr(second + 1);
      for (int n = 1; n <= count; ++n) std::printf("%s %d\n", text.c_str(), n);
    } else if (name == "long") {
      const std::string letters(static_cast<std::size_t>(std::atoll(value.c_str())), 'x');
      std::fwrite(letters.data(), 1, letters.size(), stdout);
      std::printf("\n");
    } else if (name == "waitfor") {
      while (::GetFileAttributesA(value.c_str()) == INVALID_FILE_ATTRIBUTES) ::Sleep(20);
    } else if (name == "sleep") {
      ::Sleep(static_cast<DWORD>(std::atoi(value.c_str())));
    } else if (name == "forever") {
      std::fflush(nullptr);
      Forever();
    } else if (name == "child") {
      std::printf("grandchild %lu\n", StartCopy("forever", 0, TRUE));
    } else if (name == "pid") {
      std::ofstream(value, std::ios::binary | std::ios::trunc) << ::GetCurrentProcessId();
    } else if (name == "childto") {
      const DWORD child = StartCopy("forever", 0, TRUE);
      std::ofstream(value, std::ios::binary | std::ios::trunc) << child;
    } else if (name == "detached") {
      std::printf("pid %lu\n",
                  StartCopy("forever", DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, FALSE));
    } else if (name == "orphan") {
      // The middle copy shares our output, so its "pid" line reaches the box.
      std::fflush(nullptr);
      const DWORD middle = StartCopy("detached exit:0", 0, TRUE);
      if (HANDLE handle = ::OpenProcess(SYNCHRONIZE, FALSE, middle)) {
        ::WaitForSingleObject(handle, INFINITE);
        ::CloseHandle(handle);
      }
    } else if (name == "show") {
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      ::GetStartupInfoA(&startup);
      std::ofstream(value, std::ios::binary | std::ios::trunc)
          << "flags " << startup.dwFlags << " show " << startup.wShowWindow << "\n";
    } else if (name == "hangif") {
      if (last.size() >= value.size() &&
          last.compare(last.size() - value.size(), value.size(), value) == 0) {
        std::printf("hanging on %s\n", last.c_str());
        std::fflush(nullptr);
        Forever();
      }
      std::printf("burned %s\n", last.c_str());
    } else if (name == "exit") {
      std::fflush(nullptr);
      return static_cast<int>(std::strtoul(value.c_str(), nullptr, 0));
    }
    std::fflush(nullptr);
  }
  return 0;
}
