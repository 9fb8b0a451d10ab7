// A fault for one read of one file, injected into a child process with
// LD_PRELOAD, so that the program's own reading code meets a real failed
// read() as a failing disk or a dropped network share gives it:
//
//   VELMORIN_FAULT_FILE   the path, as the program opens it
//   VELMORIN_FAULT_OPEN   which opening of that path is hit (1 = the first)
//   VELMORIN_FAULT_READ   which read() on that opening fails (default 1)
//
// The read fails with EIO. Until then the reads of that opening return at most
// 100 bytes each, so a failure after the first one comes in the middle of the
// file, as a truncated read would. Every other call goes to the system unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kChunk = 100;
int opensSeen = 0;
int armedFd = -1;
int readsLeft = 0;

int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::atoi(value) : fallback;
}

void Note(const char* path, int fd) {
  const char* target = std::getenv("VELMORIN_FAULT_FILE");
  if (fd < 0 || target == nullptr || path == nullptr || std::strcmp(path, target) != 0) return;
  if (++opensSeen != EnvInt("VELMORIN_FAULT_OPEN", 0)) return;
  armedFd = fd;
  readsLeft = EnvInt("VELMORIN_FAULT_READ", 1);
}

template <class Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

mode_t ModeOf(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  static const auto real = Next<int (*)(const char*, int, ...)>("open");
  const int fd = real(path, flags, mode);
  Note(path, fd);
  return fd;
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeOf(flags, args);
  va_end(args);
  static const auto real = Next<int (*)(const char*, int, ...)>("open64");
  const int fd = real(path, flags, mode);
  Note(path, fd);
  return fd;
}

ssize_t read(int fd, void* buffer, size_t count) {
  static const auto real = Next<ssize_t (*)(int, void*, size_t)>("read");
  if (fd == armedFd && --readsLeft == 0) {
    armedFd = -1;
    errno = EIO;
    return -1;
  }
  if (fd == armedFd && count > kChunk) count = kChunk;
  return real(fd, buffer, count);
}

int close(int fd) {
  static const auto real = Next<int (*)(int)>("close");
  if (fd == armedFd) armedFd = -1;
  return real(fd);
}

}  // extern "C"
