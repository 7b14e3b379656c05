#pragma once
// An open file of the Win32 back-end, and the error every failing call turns into.
#include <windows.h>

#include <cstddef>
#include <cstdint>

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
  static Win32File Open(const PathString& path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags = FILE_ATTRIBUTE_NORMAL, SECURITY_ATTRIBUTES* security = nullptr);

  explicit operator bool() const { return static_cast<bool>(handle_); }
  std::uint64_t Size();
  DWORD Attributes() { return Information().dwFileAttributes; }
  BY_HANDLE_FILE_INFORMATION Information();
  // The file's index on its volume, asked without the volume's details, which Wine looks up slowly.
  std::uint64_t Index();
  // Whether it is a file on a disk, not a pipe, a console or another device.
  bool OnDisk();
  // Reads up to count bytes, at most 1 GiB, in one call: fewer come only at the file's end.
  // Returns how many came.
  std::size_t ReadUpTo(std::uint8_t* buffer, std::size_t count);
  void WriteAll(const std::uint8_t* bytes, std::size_t count);
  void Seek(std::int64_t offset);
  void Rewind() { Seek(0); }
  void Flush();
  void Close();
  HANDLE Get() const { return handle_.get(); }

 private:
  UniqueFile handle_;
};
