#ifndef _WIN32

#include "WatchedProcess.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#ifdef __linux__
#include <dirent.h>

#include <fstream>
#include <sstream>
#endif

namespace velmorin {

WatchedProcess::~WatchedProcess() {
  if (Running()) Kill();
  CloseOutput();
}

bool WatchedProcess::Start(const std::string& commandLine, ChildOutput output) {
  if (FId >= 0) return false;
  FId = SpawnProcess(commandLine, output, FOutputFd);
  return FId >= 0;
}

std::ptrdiff_t WatchedProcess::ReadOutput(char* buffer, std::size_t size) {
  if (FOutputFd < 0) return -1;
  ssize_t got;
  do {
    got = ::read(FOutputFd, buffer, size);
  } while (got < 0 && errno == EINTR);
  if (got == 0) {
    CloseOutput();
    return 0;
  }
  if (got < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
    // A broken pipe reads as its end.
    CloseOutput();
    return 0;
  }
  return got;
}

void WatchedProcess::CloseOutput() {
  if (FOutputFd >= 0) ::close(FOutputFd);
  FOutputFd = -1;
}

bool WatchedProcess::Poll() {
  if (!Running()) return FReaped;
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(static_cast<pid_t>(FId), &status, WNOHANG);
  } while (waited < 0 && errno == EINTR);
  if (waited == 0) return false;
  FReaped = true;
  // Not our child after all (someone else reaped it): its result is unknown.
  FResult = waited > 0 ? ResultOfWaitStatus(status) : kExecFailed;
  return true;
}

bool WatchedProcess::SignalGroup(int signal) {
  if (FId <= 0) return false;
  return ::kill(-static_cast<pid_t>(FId), signal) == 0;
}

bool WatchedProcess::GroupAlive() const {
  if (FId <= 0) return false;
  if (::kill(-static_cast<pid_t>(FId), 0) != 0 && errno != EPERM) return false;
#ifdef __linux__
  // kill() also finds members that have ended and only wait for a parent to
  // reap them; where the first process reaps no orphans (a container) they
  // wait for good. Only a member that still runs counts.
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) return true;
  bool running = false;
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid pgrp ...", where the name may hold anything.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(line.substr(close + 1));
    char state = 0;
    long parent = 0;
    long group = 0;
    if (!(fields >> state >> parent >> group)) continue;
    if (group == FId && state != 'Z' && state != 'X') {
      running = true;
      break;
    }
  }
  ::closedir(proc);
  return running;
#else
  return true;
#endif
}

void WatchedProcess::Kill() {
  SignalGroup(SIGKILL);
  if (!Running()) return;
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(static_cast<pid_t>(FId), &status, 0);
  } while (waited < 0 && errno == EINTR);
  FReaped = true;
  FResult = waited > 0 ? ResultOfWaitStatus(status) : kExecFailed;
}

}  // namespace velmorin

#endif
