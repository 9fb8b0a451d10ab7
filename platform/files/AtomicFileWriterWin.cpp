// The Windows side of AtomicFileWriter: a temporary file created beside the
// target with CREATE_NEW, written with WriteFile, flushed with
// FlushFileBuffers when the write must be durable, and moved over the target
// with MoveFileExA. A read-only target makes the move fail, so such a file
// refuses the write as it would refuse an in-place one.
#include <windows.h>

#include <algorithm>
#include <random>

#include "platform/files/AtomicFileWriterTemporary.h"
#include "platform/files/FileErrors.h"

namespace velmorin {

namespace {
// Largest piece handed to one WriteFile call (its length is a DWORD).
constexpr std::size_t kMaxWrite = 1u << 30;
// Random names tried before giving up on a folder full of our leftovers.
constexpr int kNameAttempts = 100;

std::string RandomSuffix(std::mt19937& random) {
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kLetters[pick(random)];
  return suffix;
}

// A hidden or system file stays hidden or system when it is replaced.
DWORD AttributesForTarget(const std::string& fileName) {
  const DWORD existing = ::GetFileAttributesA(fileName.c_str());
  if (existing == INVALID_FILE_ATTRIBUTES || (existing & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FILE_ATTRIBUTE_NORMAL;
  }
  const DWORD kept = existing & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  return kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL;
}

// A short name of our own in the target's folder, so that a target name at the
// system's length limit can still be written.
std::string TempNameBeside(const std::string& fileName, std::mt19937& random) {
  std::string folder = FolderOf(fileName);
  const char last = folder.empty() ? '\\' : folder.back();
  if (last != '\\' && last != '/' && last != ':') folder += '\\';
  return folder + ".velmorin-" + std::to_string(::GetCurrentProcessId()) + "-" +
         RandomSuffix(random) + ".tmp";
}

int LastError() {
  return static_cast<int>(::GetLastError());
}
}  // namespace

AtomicFileWriter::Temporary::Temporary(const std::string& fileName, Durability durability)
    : FFileName(fileName), FDurability(durability) {
  if (FFileName.empty()) throw EInOutError(io_code::InvalidFilename);
  // Windows refuses to replace a read-only file; say so before writing
  // anything, and also where the check would be skipped (Wine run by root).
  const DWORD existing = ::GetFileAttributesA(FFileName.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0 &&
      (existing & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    RaiseInOutError(ERROR_ACCESS_DENIED, FFileName);
  }
  std::random_device seed;
  std::mt19937 random(seed() ^ ::GetCurrentProcessId() ^ ::GetTickCount());
  const DWORD attributes = AttributesForTarget(FFileName);
  for (int attempt = 1;; ++attempt) {
    std::string temp = TempNameBeside(FFileName, random);
    // Not shared and not inherited: no burner or other process holds it.
    const HANDLE handle =
        ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      FHandle = handle;
      FTempName = std::move(temp);
      break;
    }
    const int err = LastError();
    if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || attempt == kNameAttempts) {
      RaiseInOutError(err, FFileName);
    }
  }
}

void AtomicFileWriter::Temporary::Discard() noexcept {
  if (FHandle != nullptr) {
    ::CloseHandle(static_cast<HANDLE>(FHandle));
    FHandle = nullptr;
  }
  if (!FTempName.empty()) {
    ::DeleteFileA(FTempName.c_str());
    FTempName.clear();
  }
}

void AtomicFileWriter::Temporary::RequireOpen() {
  if (FHandle == nullptr) Fail(ERROR_INVALID_HANDLE);
}

void AtomicFileWriter::Temporary::WriteAll(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD piece = static_cast<DWORD>(std::min(bytes.size() - done, kMaxWrite));
    DWORD written = 0;
    if (!::WriteFile(static_cast<HANDLE>(FHandle), bytes.data() + done, piece, &written, nullptr)) {
      Fail(LastError());
    }
    // A write that makes no progress has run out of room.
    if (written == 0) Fail(ERROR_DISK_FULL);
    done += written;
  }
}

void AtomicFileWriter::Temporary::Commit() {
  const HANDLE handle = static_cast<HANDLE>(FHandle);
  if (FDurability == Durability::Synced && !::FlushFileBuffers(handle)) Fail(LastError());
  FHandle = nullptr;
  if (!::CloseHandle(handle)) Fail(LastError());
  // Write-through: the call returns only when the new name is on disk, which
  // stands in for the folder flush of POSIX.
  DWORD flags = MOVEFILE_REPLACE_EXISTING;
  if (FDurability == Durability::Synced) flags |= MOVEFILE_WRITE_THROUGH;
  if (!::MoveFileExA(FTempName.c_str(), FFileName.c_str(), flags)) Fail(LastError());
  FTempName.clear();
}

}  // namespace velmorin
