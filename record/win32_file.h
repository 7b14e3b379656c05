#pragma once
// An open file of the Win32 back-end, and the error every failing call turns into.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "record/in_out_error.h"
#include "record/path_names.h"
#include "record/win32_file_calls.h"
#include "system/resource.h"

// Windows error numbers are the table's codes already.
[[noreturn]] void ThrowError(DWORD error);
[[noreturn]] void ThrowLastError();

// One open file; every failing call throws EInOutError. Destroyed unclosed, it closes quietly:
// that is the clean-up after an earlier failure, whose error is the one worth reporting.
class Win32File {
 public:
  Win32File() = default;
  explicit Win32File(UniqueFile handle) : handle_(std::move(handle)) {}

  // An invalid file, with the last error set, when the open fails.
  static Win32File Open(const PathString& path, DWORD access, DWORD share, DWORD disposition);

  explicit operator bool() const { return static_cast<bool>(handle_); }
  std::uint64_t Size();
  DWORD Attributes();
  // Reads up to count bytes, at most 1 GiB, in one call: fewer come only at the file's end.
  // Returns how many came.
  std::size_t ReadUpTo(std::uint8_t* buffer, std::size_t count);
  void WriteAll(const std::uint8_t* bytes, std::size_t count);
  void Rewind();
  void Flush();
  void Close();
  HANDLE Get() const { return handle_.get(); }

 private:
  UniqueFile handle_;
};

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

// The full path of path in the \\?\ form.
PathString FullExtendedPath(const PathString& path);
// The long form of a path in the \\?\ form, for a name that may not exist yet: its folder's.
PathString LongPathOf(const PathString& extendedPath);
// A name as its folder lists it, and the attributes listed with it.
struct ListedName {
  PathString name;
  DWORD attributes;
};
// What path's folder lists whose names begin with path's last name, in any letter case: one
// look at the folder. Empty when nothing is listed or the name holds a wildcard.
std::vector<ListedName> ListNamesStartingWith(const PathString& path);
