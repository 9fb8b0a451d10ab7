#include "platform/process/WatchedProcess.h"

#include "platform/process/WatchedProcessState.h"

namespace velmorin {

WatchedProcess::WatchedProcess(TreeKeeper keeper) : FState(State::Make(keeper)) {}
WatchedProcess::~WatchedProcess() = default;

bool WatchedProcess::Start(const std::string& commandLine, ChildOutput output) {
  return FState->Start(commandLine, output);
}
bool WatchedProcess::Started() const {
  return FState->Started();
}
bool WatchedProcess::Running() const {
  return FState->Running();
}
ProcessId WatchedProcess::Id() const {
  return FState->Id();
}
bool WatchedProcess::HasOutput() const {
  return FState->HasOutput();
}
int WatchedProcess::OutputDescriptor() const {
  return FState->OutputDescriptor();
}
std::ptrdiff_t WatchedProcess::ReadOutput(char* buffer, std::size_t size) {
  return FState->ReadOutput(buffer, size);
}
void WatchedProcess::CloseOutput() {
  FState->CloseOutput();
}
bool WatchedProcess::Poll() {
  return FState->Poll();
}
std::uint32_t WatchedProcess::Result() const {
  return FState->Result();
}
bool WatchedProcess::AskToEnd() {
  return FState->AskToEnd();
}
bool WatchedProcess::ForceEnd() {
  return FState->ForceEnd();
}
bool WatchedProcess::AnyAlive() const {
  return FState->AnyAlive();
}
void WatchedProcess::Kill() {
  FState->Kill();
}
std::vector<ProcessId> WatchedProcess::Descendants() const {
  return FState->Descendants();
}

}  // namespace velmorin
