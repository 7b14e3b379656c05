#include "record/save_lock_win32.h"

namespace {

// How long a save waits for another one of the same file, which takes milliseconds.
constexpr DWORD kSaveWaitMs = 5000;

class Win32SaveLock final : public SaveLock {
 public:
  explicit Win32SaveLock(UniqueMutex mutex) : mutex_(std::move(mutex)), ownership_(mutex_.get()) {}

 private:
  UniqueMutex mutex_;
  MutexReleaser ownership_;  // released before the handle is closed
};

std::unique_ptr<SaveLock> Lock(const PathString& name) {
  UniqueMutex mutex(FileCalls().CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex) ThrowLastError();
  switch (FileCalls().WaitForSingleObject(mutex.get(), kSaveWaitMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
      return std::make_unique<Win32SaveLock>(std::move(mutex));
    case WAIT_TIMEOUT:
      ThrowError(ERROR_SHARING_VIOLATION);
    default:
      ThrowLastError();
  }
}

}  // namespace

std::unique_ptr<SaveLock> LockSaveOf(const FileIdentity& file) {
  return Lock(SaveLockName(file.volume, file.index));
}

std::unique_ptr<SaveLock> LockSaveOf(const FileIdentity& folder, const PathString& name) {
  PathString upper(name.size(), L'\0');
  if (name.empty() ||
      LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, name.c_str(), static_cast<int>(name.size()), &upper[0],
                   static_cast<int>(upper.size())) == 0) {
    upper = name;
  }
  return Lock(SaveLockName(folder.volume, folder.index, upper));
}
