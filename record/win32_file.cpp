#include "record/win32_file.h"

void ThrowError(DWORD error) { throw EInOutError(static_cast<int>(error)); }
void ThrowLastError() { ThrowError(GetLastError()); }

namespace {

DWORD Chunk(std::size_t count) { return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count); }

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

Win32File Win32File::Open(const PathString& path, DWORD access, DWORD share, DWORD disposition) {
  return Win32File(UniqueFile(FileCalls().CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr)));
}

std::uint64_t Win32File::Size() {
  LARGE_INTEGER size{};
  if (!FileCalls().GetFileSizeEx(handle_.get(), &size)) ThrowLastError();
  return static_cast<std::uint64_t>(size.QuadPart);
}

DWORD Win32File::Attributes() {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!FileCalls().GetFileInformationByHandle(handle_.get(), &information)) ThrowLastError();
  return information.dwFileAttributes;
}

// The files read here are at most 64 MiB and a byte, which one call takes whole.
std::size_t Win32File::ReadUpTo(std::uint8_t* buffer, std::size_t count) {
  DWORD got = 0;
  if (!FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();
  return got;
}

// Wine on a full disk reports success with part of the bytes written; the next call fails.
void Win32File::WriteAll(const std::uint8_t* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    DWORD put = 0;
    if (!FileCalls().WriteFile(handle_.get(), bytes + done, Chunk(count - done), &put, nullptr))
      ThrowLastError();
    if (put == 0 || put > count - done) ThrowError(ERROR_DISK_FULL);
    done += put;
  }
}

void Win32File::Rewind() {
  if (!FileCalls().SetFilePointerEx(handle_.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) ThrowLastError();
}

void Win32File::Flush() {
  if (!FileCalls().FlushFileBuffers(handle_.get())) ThrowLastError();
}

// The handle is gone even when closing fails; a failed close may have lost written data.
void Win32File::Close() {
  if (handle_ && !FileCalls().CloseHandle(handle_.release())) ThrowLastError();
}

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
