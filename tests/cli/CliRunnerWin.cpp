// The Windows half of the runner: CreateProcessA with inherited handles for
// the standard streams.
#include "tests/cli/CliRunnerWin.h"

#include <windows.h>

#include <stdexcept>

#include "tests/support/TempDir.h"

namespace velmorin::test {

namespace {

// One argument as the C run-time's command-line splitter reads it back.
std::string Quote(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

HANDLE OpenInherited(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts velmorin-cli with its input from `in`; its process handle.
HANDLE Start(const CliRun& run, const std::string& in, const std::string& out,
             const std::string& err) {
  std::string commandLine = Quote(CliPath());
  for (const std::string& a : run.args) commandLine += " " + Quote(a);
  HANDLE input = OpenInherited(in, GENERIC_READ, OPEN_EXISTING);
  HANDLE output = OpenInherited(out, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE error = OpenInherited(err, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  const BOOL started =
      ::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       run.folder.empty() ? nullptr : run.folder.c_str(), &startup, &process);
  ::CloseHandle(input);
  ::CloseHandle(output);
  ::CloseHandle(error);
  if (!started) throw std::runtime_error("cannot start " + CliPath());
  ::CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

void* StartCliProcess(const CliRun& run, const std::string& outFile, const std::string& errFile) {
  return Start(run, "NUL", outFile, errFile);
}

CliResult RunCli(const CliRun& run) {
  TempDir scratch;
  const std::string in = scratch.File("in"), out = scratch.File("out"), err = scratch.File("err");
  WriteFileBytes(in, run.input);
  CliResult result;
  {
    const HANDLE process = Start(run, in, out, err);
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    result.exitCode = static_cast<int>(code);
  }
  // Text on a Windows console stream ends its lines with CR LF.
  const auto lines = [](std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
  };
  result.out = lines(ReadFileBytes(out));
  result.err = lines(ReadFileBytes(err));
  return result;
}

}  // namespace velmorin::test
