#pragma once
// The save's lock on its file.
#include "record/win32_file.h"

// The save's lock on its file: one byte far beyond any record, so that it never stands in the
// way of reading or writing the data. Windows keeps it across processes, logons and machines on
// a share, Wine as a POSIX lock that every Wine prefix and Linux program sees.
class SaveLock {
 public:
  // Waits a little for a save of the same file under way, then throws kInOutSharingViolation.
  explicit SaveLock(Win32File& file);
  ~SaveLock();
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;

 private:
  HANDLE file_;
  bool locked_ = false;
};
