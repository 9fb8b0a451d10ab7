#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/process/WatchedProcess.h"
#include "platform/process/WatchedProcessState.h"

namespace velmorin {

namespace {

// Room for the pipe's contents between two reads of the window, which polls
// it: a chatty burner writes on meanwhile instead of waiting for us.
constexpr DWORD kPipeSize = 1024 * 1024;
// How long Kill waits for the job to empty.
constexpr auto kKillTimeout = std::chrono::seconds(2);

HANDLE AsHandle(void* handle) {
  return static_cast<HANDLE>(handle);
}

void CloseIfOpen(HANDLE& handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  handle = nullptr;
}

// The job's limits. With `endTreeOnClose`, the system ends every process
// in the job when the last handle to it closes: when we close ours, and
// also when we die without closing it (a crash, a kill from the task
// manager), so that a burner's tree never outlives the program that watched
// it.
void SetBurnerJobLimits(HANDLE job, bool endTreeOnClose) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
      (endTreeOnClose ? JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE : DWORD{0});
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

// A job that ends with the burner's tree: none of its processes may leave
// it, and neither it nor our own job (where we run in one) lets it go. Our
// handle to it is not inherited, so that ours is the only one.
HANDLE CreateBurnerJob() {
  HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  SetBurnerJobLimits(job, true);
  return job;
}

// The handles a piped child gets: our pipe's write end for its standard
// output and error, the null device for its input. Only these are inherited.
struct PipedHandles {
  HANDLE Read = nullptr;
  HANDLE Write = nullptr;
  HANDLE Input = nullptr;

  PipedHandles() = default;
  PipedHandles(const PipedHandles&) = delete;
  PipedHandles& operator=(const PipedHandles&) = delete;
  ~PipedHandles() {
    CloseIfOpen(Read);
    CloseIfOpen(Write);
    CloseIfOpen(Input);
  }

  bool Open() {
    if (!::CreatePipe(&Read, &Write, nullptr, kPipeSize)) return false;
    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;
    Input = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                          OPEN_EXISTING, 0, nullptr);
    if (Input == INVALID_HANDLE_VALUE) return false;
    return ::SetHandleInformation(Write, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) != 0;
  }
};

// A list of the handles a child may inherit, so that no other inheritable
// handle of ours (one made by a library, say) reaches the burner.
class InheritList {
 public:
  InheritList(HANDLE* handles, std::size_t count) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    FStorage.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(FStorage.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                     count * sizeof(HANDLE), nullptr, nullptr)) {
      ::DeleteProcThreadAttributeList(list);
      return;
    }
    FList = list;
  }
  ~InheritList() {
    if (FList != nullptr) ::DeleteProcThreadAttributeList(FList);
  }
  InheritList(const InheritList&) = delete;
  InheritList& operator=(const InheritList&) = delete;

  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return FList; }

 private:
  std::vector<char> FStorage;
  LPPROC_THREAD_ATTRIBUTE_LIST FList = nullptr;
};

}  // namespace

class WinState final : public WatchedProcess::State {
 public:
  ~WinState() override;
  bool Start(const std::string& commandLine, ChildOutput output) override;
  bool Started() const override { return FId >= 0; }
  bool Running() const override { return FId >= 0 && !FEnded; }
  ProcessId Id() const override { return FId; }
  bool HasOutput() const override { return FOutput != nullptr; }
  // A pipe is no socket an event loop is told of: it is read at each poll.
  int OutputDescriptor() const override { return -1; }
  std::uint32_t Result() const override { return FResult; }
  bool AskToEnd() override { return Stop(); }
  bool ForceEnd() override { return Stop(); }
  std::ptrdiff_t ReadOutput(char* buffer, std::size_t size) override;
  void CloseOutput() override;
  bool Poll() override;
  std::vector<ProcessId> Descendants() const override;
  std::vector<int> WaitDescriptors() const override { return {}; }
  bool Stop();
  bool AnyAlive() const override;
  void Kill() override;
  void ReleaseJob();

  ProcessId FId = -1;
  void* FProcess = nullptr;  // HANDLE
  void* FJob = nullptr;      // HANDLE; null when the system refused one
  void* FOutput = nullptr;   // HANDLE of the pipe's read end
  bool FEnded = false;
  bool FStopped = false;
  std::uint32_t FResult = kExecFailed;
};

WinState::~WinState() {
  if (Running() || (FStopped && AnyAlive())) Kill();
  ReleaseJob();
  HANDLE process = AsHandle(FProcess);
  CloseIfOpen(process);
  FProcess = nullptr;
  CloseOutput();
}

bool WinState::Start(const std::string& commandLine, ChildOutput output) {
  if (FId >= 0) return false;
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow =
      static_cast<WORD>(output == ChildOutput::Discard ? SW_HIDE : SW_SHOW);
  DWORD flags = NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED;
  BOOL inherit = FALSE;

  PipedHandles pipe;
  HANDLE inherited[2] = {};
  std::optional<InheritList> inheritList;
  if (output == ChildOutput::Pipe) {
    if (!pipe.Open()) return false;
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = pipe.Input;
    startup.StartupInfo.hStdOutput = pipe.Write;
    startup.StartupInfo.hStdError = pipe.Write;
    inherited[0] = pipe.Input;
    inherited[1] = pipe.Write;
    inherit = TRUE;
    // The output is read here: a console window would only stand empty.
    flags |= CREATE_NO_WINDOW;
    inheritList.emplace(inherited, 2);
    if (inheritList->Get() != nullptr) {
      startup.lpAttributeList = inheritList->Get();
      startup.StartupInfo.cb = sizeof startup;
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
  }

  PROCESS_INFORMATION process{};
  // CreateProcessA may write into the command line, so it gets a copy.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr,
                        &startup.StartupInfo, &process)) {
    return false;
  }
  // Into its job before it runs a single instruction, so that nothing it
  // starts escapes. Where the system refuses a job (an old one that nests
  // none), Stop still ends the burner itself.
  HANDLE job = CreateBurnerJob();
  if (job != nullptr && !::AssignProcessToJobObject(job, process.hProcess)) CloseIfOpen(job);
  FJob = job;
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);
  FProcess = process.hProcess;
  FId = static_cast<ProcessId>(process.dwProcessId);
  if (output == ChildOutput::Pipe) {
    FOutput = pipe.Read;
    pipe.Read = nullptr;
  }
  // Our copies of the child's ends close here: the output ends when the
  // burner and whatever inherited it have closed theirs.
  return true;
}

std::ptrdiff_t WinState::ReadOutput(char* buffer, std::size_t size) {
  if (FOutput == nullptr) return -1;
  DWORD waiting = 0;
  if (!::PeekNamedPipe(AsHandle(FOutput), nullptr, 0, nullptr, &waiting, nullptr)) {
    // Broken: every writer has gone.
    CloseOutput();
    return 0;
  }
  if (waiting == 0) return -1;
  const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, waiting));
  DWORD got = 0;
  if (!::ReadFile(AsHandle(FOutput), buffer, wanted, &got, nullptr) || got == 0) {
    CloseOutput();
    return 0;
  }
  return static_cast<std::ptrdiff_t>(got);
}

void WinState::CloseOutput() {
  HANDLE output = AsHandle(FOutput);
  CloseIfOpen(output);
  FOutput = nullptr;
}

bool WinState::Poll() {
  if (!Started()) return false;
  if (FEnded) return true;
  if (::WaitForSingleObject(AsHandle(FProcess), 0) != WAIT_OBJECT_0) return false;
  FEnded = true;
  DWORD exitCode = 0;
  if (!FStopped && ::GetExitCodeProcess(AsHandle(FProcess), &exitCode)) FResult = exitCode;
  // A burner that ended by itself takes our care of its tree with it.
  if (!FStopped) ReleaseJob();
  return true;
}

void WinState::ReleaseJob() {
  HANDLE job = AsHandle(FJob);
  // What a burner that ended by itself leaves running is no longer ours, so
  // closing the job must not end it; after a stop, what is left goes.
  if (job != nullptr && !FStopped) SetBurnerJobLimits(job, false);
  CloseIfOpen(job);
  FJob = nullptr;
}

std::vector<ProcessId> WinState::Descendants() const {
  std::vector<ProcessId> found;
  if (FJob == nullptr) return found;
  // Room for a burner that starts a good many helpers; the list is cut, not
  // failed, beyond that.
  constexpr DWORD kMaxIds = 1024;
  std::vector<char> storage(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + kMaxIds * sizeof(ULONG_PTR));
  auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(storage.data());
  list->NumberOfAssignedProcesses = kMaxIds;
  if (!::QueryInformationJobObject(AsHandle(FJob), JobObjectBasicProcessIdList, list,
                                   static_cast<DWORD>(storage.size()), nullptr) &&
      ::GetLastError() != ERROR_MORE_DATA) {
    return found;
  }
  for (DWORD i = 0; i < list->NumberOfProcessIdsInList; ++i) {
    found.push_back(static_cast<ProcessId>(list->ProcessIdList[i]));
  }
  return found;
}

bool WinState::Stop() {
  if (!Started()) return false;
  const bool any = AnyAlive();
  FStopped = true;
  FResult = kExecFailed;
  if (FJob != nullptr) {
    ::TerminateJobObject(AsHandle(FJob), kExecFailed);
  } else if (!FEnded) {
    ::TerminateProcess(AsHandle(FProcess), kExecFailed);
  }
  return any;
}

bool WinState::AnyAlive() const {
  if (!Started()) return false;
  if (FProcess != nullptr && ::WaitForSingleObject(AsHandle(FProcess), 0) == WAIT_TIMEOUT) {
    return true;
  }
  if (FJob == nullptr) return false;
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  if (!::QueryInformationJobObject(AsHandle(FJob), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr)) {
    return false;
  }
  return accounting.ActiveProcesses > 0;
}

void WinState::Kill() {
  Stop();
  const auto deadline = std::chrono::steady_clock::now() + kKillTimeout;
  while (AnyAlive() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Poll();
}

// Each burner has a job of its own, whoever else runs beside it.
std::unique_ptr<WatchedProcess::State> WatchedProcess::State::Make(TreeKeeper /*keeper*/) {
  return std::make_unique<WinState>();
}

void WatchedProcess::WaitForAny(const std::vector<const WatchedProcess*>& /*processes*/,
                                std::chrono::milliseconds timeout) {
  std::this_thread::sleep_for(timeout);
}

bool WatchedProcess::AsksGently() {
  return false;
}

}  // namespace velmorin
