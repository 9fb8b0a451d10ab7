// The POSIX half of AtomicFileWriter: O_TMPFILE where it can, else a short
// temporary name of our own; fsync and rename.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>

#include "platform/files/AtomicFileWriterTemporary.h"
#include "platform/files/FileErrors.h"
#include "platform/files/WriteFullyPosix.h"

namespace velmorin {

namespace {
// Our temporary names: ".velmorin-<host>-<pid>-<6 letters>.tmp", at most about
// a hundred bytes whatever the target's name, in the target's folder. The host
// and process say whose a leftover is.
constexpr std::string_view kTempPrefix = ".velmorin-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::size_t kRandomLetters = 6;
constexpr int kNameAttempts = 100;
// A leftover of another computer sharing the folder is only removed once it has
// not changed for this long: its process can't be asked whether it still runs.
constexpr auto kForeignStaleAge = std::chrono::hours(1);

const std::string& HostName() {
  static const std::string name = [] {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    std::string host(buffer);
    // Kept short and free of anything a file name can't hold.
    host = host.substr(0, 64);
    for (char& c : host) {
      if (c == '/') c = '_';
    }
    return host;
  }();
  return name;
}

std::string TempName(const std::string& folder, std::mt19937& random) {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string name(kTempPrefix);
  name += HostName();
  name += '-';
  name += std::to_string(::getpid());
  name += '-';
  for (std::size_t i = 0; i < kRandomLetters; ++i) name += kLetters[pick(random)];
  name += kTempSuffix;
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::mt19937& Random() {
  thread_local std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
  return random;
}

struct TempOwner {
  std::string_view Host;
  pid_t Pid = 0;
};

// Whose temporary file `name` is; Pid 0 when the name isn't one of ours.
TempOwner OwnerOf(std::string_view name) {
  TempOwner owner;
  if (name.substr(0, kTempPrefix.size()) != kTempPrefix) return owner;
  name.remove_prefix(kTempPrefix.size());
  const std::size_t tail = 1 + kRandomLetters + kTempSuffix.size();
  if (name.size() < tail || name.substr(name.size() - kTempSuffix.size()) != kTempSuffix ||
      name[name.size() - tail] != '-') {
    return owner;
  }
  name.remove_suffix(tail);
  const std::size_t dash = name.rfind('-');
  if (dash == std::string_view::npos || dash + 1 == name.size()) return owner;
  pid_t pid = 0;
  for (const char c : name.substr(dash + 1)) {
    if (c < '0' || c > '9' || pid > 100000000) return owner;
    pid = pid * 10 + (c - '0');
  }
  owner.Host = name.substr(0, dash);
  owner.Pid = pid;
  return owner;
}

bool IsStale(const TempOwner& owner, const struct stat& st) {
  if (owner.Host != HostName()) {
    const auto changed = std::chrono::system_clock::from_time_t(st.st_mtime);
    return std::chrono::system_clock::now() - changed > kForeignStaleAge;
  }
  if (owner.Pid == ::getpid()) return false;
  return ::kill(owner.Pid, 0) != 0 && errno == ESRCH;
}

// Removes temporary files of ours that a killed run left in `folder`: once per
// folder and process, so a batch doesn't list its output folder for every image.
void RemoveStaleTemporaries(const std::string& folder) {
  static std::mutex lock;
  static std::set<std::string> cleaned;
  {
    const std::lock_guard<std::mutex> hold(lock);
    if (!cleaned.insert(folder).second) return;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const TempOwner owner = OwnerOf(entry->d_name);
    if (owner.Pid <= 0) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && IsStale(owner, st)) ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

void SyncFolder(const std::string& folder) {
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;  // nothing more can be done; the rename itself succeeded
  ::fsync(dirFd);
  ::close(dirFd);
}

// Whether open(O_TMPFILE) failed because this system or file system has no
// unnamed temporary files, rather than for a reason a named one would share.
bool NoUnnamedFiles(int err) {
  return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOSYS;
}
}  // namespace

AtomicFileWriter::Temporary::Temporary(const std::string& fileName, Durability durability)
    : FFileName(fileName), FDurability(durability) {
  if (FFileName.empty()) throw EInOutError(io_code::InvalidFilename);
  // What is there now: a regular file keeps its mode and, where we may, its
  // owner; anything else is never replaced.
  struct stat target {};
  const bool exists = ::stat(FFileName.c_str(), &target) == 0;
  if (exists && !S_ISREG(target.st_mode)) {
    RaiseInOutError(S_ISDIR(target.st_mode) ? EISDIR : EACCES, FFileName);
  }
  mode_t mode;
  if (exists) {
    mode = target.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }

  const std::string folder = FolderOf(FFileName);
  RemoveStaleTemporaries(folder);
#ifdef O_TMPFILE
  FFd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (FFd >= 0) {
    FAnonymous = true;
  } else if (!NoUnnamedFiles(errno)) {
    RaiseInOutError(errno, FFileName);
  }
#endif
  if (FFd < 0) {
    for (int attempt = 1; FFd < 0; ++attempt) {
      std::string temp = TempName(folder, Random());
      FFd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
      if (FFd >= 0) {
        FTempName = std::move(temp);
      } else if (errno != EEXIST || attempt == kNameAttempts) {
        RaiseInOutError(errno, FFileName);
      }
    }
  }
  if (::fchmod(FFd, mode) != 0) Fail(errno);
  // Only root may give a file away, and a user may set a group of their own;
  // where the system refuses, the new file keeps ours.
  if (exists) (void)!::fchown(FFd, target.st_uid, target.st_gid);
}

void AtomicFileWriter::Temporary::Discard() noexcept {
  if (FFd >= 0) {
    ::close(FFd);
    FFd = -1;
  }
  if (!FTempName.empty()) {
    ::unlink(FTempName.c_str());
    FTempName.clear();
  }
}

void AtomicFileWriter::Temporary::RequireOpen() {
  if (FFd < 0) Fail(EBADF);
}

void AtomicFileWriter::Temporary::WriteAll(std::string_view bytes) {
  if (const int err = WriteFully(FFd, bytes)) Fail(err);
}

// Links the unnamed temporary file under one of our short temporary names.
void AtomicFileWriter::Temporary::GiveTempAName() {
  const std::string self = "/proc/self/fd/" + std::to_string(FFd);
  const std::string folder = FolderOf(FFileName);
  for (int attempt = 1;; ++attempt) {
    std::string temp = TempName(folder, Random());
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      FTempName = std::move(temp);
      FAnonymous = false;
      return;
    }
    if (errno != EEXIST || attempt == kNameAttempts) Fail(errno);
  }
}

void AtomicFileWriter::Temporary::Commit() {
  // The data reaches the disk before any name points at it.
  if (FDurability == Durability::Synced && ::fsync(FFd) != 0) Fail(errno);
  if (FAnonymous) {
    // A new name can take the file directly; the link fails rather than
    // replace a file that appeared meanwhile, and then the rename below does.
    const std::string self = "/proc/self/fd/" + std::to_string(FFd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, FFileName.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      FAnonymous = false;
    } else if (errno == EEXIST) {
      GiveTempAName();
    } else {
      Fail(errno);
    }
  }
  // Renamed before closing: the moment in which a kill leaves a named
  // temporary file is as short as it can be.
  if (!FTempName.empty()) {
    if (::rename(FTempName.c_str(), FFileName.c_str()) != 0) Fail(errno);
    FTempName.clear();
  }
  const int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0) RaiseInOutError(errno, FFileName);
  if (FDurability == Durability::Synced) SyncFolder(FolderOf(FFileName));
}

}  // namespace velmorin
