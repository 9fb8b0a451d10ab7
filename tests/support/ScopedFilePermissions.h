// Makes file permissions bite for the current process, even when the tests run
// as root (as CI does): root's capabilities to bypass permission checks are
// dropped from the effective set for the lifetime of the object and restored
// afterwards. Without it a read-only folder would not refuse root's writes.
#pragma once

namespace velmorin::test {

class ScopedFilePermissions {
 public:
  ScopedFilePermissions();
  ~ScopedFilePermissions();
  ScopedFilePermissions(const ScopedFilePermissions&) = delete;
  ScopedFilePermissions& operator=(const ScopedFilePermissions&) = delete;

 private:
  bool FChanged = false;
  unsigned FSavedEffective[2] = {0, 0};
};

}  // namespace velmorin::test
