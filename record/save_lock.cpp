#include "record/save_lock.h"

namespace {

// The locked byte: SQLite's choice, 1 GiB in, where no record ever reaches.
constexpr DWORD kLockOffset = 0x40000000;
// A save of a record takes milliseconds; a lock held longer belongs to a stuck program.
constexpr int kLockAttempts = 100;
constexpr DWORD kLockWaitMs = 10;

OVERLAPPED LockPosition() {
  OVERLAPPED position{};
  position.Offset = kLockOffset;
  return position;
}

}  // namespace

SaveLock::SaveLock(Win32File& file) : file_(file.Get()) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    if (attempt > 0) FileCalls().Sleep(kLockWaitMs);
    OVERLAPPED position = LockPosition();
    if (FileCalls().LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                               &position)) {
      locked_ = true;
      return;
    }
    const DWORD error = GetLastError();
    // A file system that keeps no locks (some network shares) still takes the save: the check
    // of the file's bytes and its sharing keep other writers out.
    if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) return;
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_SHARING_VIOLATION && error != ERROR_IO_PENDING) {
      ThrowError(error);
    }
  }
  ThrowError(ERROR_SHARING_VIOLATION);
}

SaveLock::~SaveLock() {
  if (!locked_) return;
  OVERLAPPED position = LockPosition();
  FileCalls().UnlockFileEx(file_, 0, 1, 0, &position);  // closing the file releases it anyway
}
