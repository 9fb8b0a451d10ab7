#include "platform/process/WatchedProcess.h"

#include "platform/process/WatchedProcessState.h"

namespace velmorin {

WatchedProcess::WatchedProcess(TreeKeeper keeper) : FState(State::Make(keeper)) {}
WatchedProcess::~WatchedProcess() = default;

bool WatchedProcess::Start(const std::string& commandLine, ChildOutput output) {
  return Start(commandLine, output,
               output == ChildOutput::Discard ? WindowShow::Hidden : WindowShow::Normal);
}
bool WatchedProcess::Start(const std::string& commandLine, ChildOutput output, WindowShow show) {
  return FState->Start(commandLine, output, show);
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
bool WatchedProcess::HasOutput(ChildStream stream) const {
  return FState->HasOutput(stream);
}
int WatchedProcess::OutputDescriptor(ChildStream stream) const {
  return FState->OutputDescriptor(stream);
}
std::ptrdiff_t WatchedProcess::ReadOutput(ChildStream stream, char* buffer, std::size_t size) {
  return FState->ReadOutput(stream, buffer, size);
}
void WatchedProcess::CloseOutput(ChildStream stream) {
  FState->CloseOutput(stream);
}
bool WatchedProcess::HasOutput() const {
  return HasOutput(ChildStream::Output) || HasOutput(ChildStream::Error);
}
void WatchedProcess::CloseOutput() {
  CloseOutput(ChildStream::Output);
  CloseOutput(ChildStream::Error);
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
