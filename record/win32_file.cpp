#include "record/win32_file.h"

#include "system/system_functions.h"

void ThrowError(DWORD error) { throw EInOutError(static_cast<int>(error)); }
void ThrowLastError() { ThrowError(GetLastError()); }

namespace {

DWORD Chunk(std::size_t count) { return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count); }

}  // namespace

Win32File Win32File::Open(const PathString& path, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                          SECURITY_ATTRIBUTES* security) {
  return Win32File(UniqueFile(
      FileCalls().CreateFileW(path.c_str(), access, share, security, disposition, flags, nullptr)));
}

std::uint64_t Win32File::Size() {
  LARGE_INTEGER size{};
  if (!FileCalls().GetFileSizeEx(handle_.get(), &size)) ThrowLastError();
  return static_cast<std::uint64_t>(size.QuadPart);
}

BY_HANDLE_FILE_INFORMATION Win32File::Information() {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!FileCalls().GetFileInformationByHandle(handle_.get(), &information)) ThrowLastError();
  return information;
}

std::uint64_t Win32File::Index() {
  struct {
    LONG status;
    ULONG_PTR information;
  } io{};
  LARGE_INTEGER index{};
  constexpr int kFileInternalInformation = 6;
  const auto query = FileCalls().NtQueryInformationFile;
  if (query != nullptr && query(handle_.get(), &io, &index, sizeof index, kFileInternalInformation) >= 0)
    return static_cast<std::uint64_t>(index.QuadPart);
  const BY_HANDLE_FILE_INFORMATION information = Information();  // the error, if any, from here
  return (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
}

bool Win32File::OnDisk() {
  SetLastError(NO_ERROR);  // a device of unknown type leaves it so
  const DWORD type = FileCalls().GetFileType(handle_.get());
  if (type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) ThrowLastError();
  return type == FILE_TYPE_DISK;
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

void Win32File::Seek(std::int64_t offset) {
  LARGE_INTEGER position{};
  position.QuadPart = offset;
  if (!FileCalls().SetFilePointerEx(handle_.get(), position, nullptr, FILE_BEGIN)) ThrowLastError();
}

void Win32File::Flush() {
  if (!FileCalls().FlushFileBuffers(handle_.get())) ThrowLastError();
}

// The handle is gone even when closing fails; a failed close may have lost written data.
void Win32File::Close() {
  if (handle_ && !FileCalls().CloseHandle(handle_.release())) ThrowLastError();
}

Win32FileCalls& FileCalls() {
  static Win32FileCalls calls = [] {
    Win32FileCalls table;
    table.linuxNames = RunningOnWine();
    table.GetKernelObjectSecurity = kGetKernelObjectSecurity.Find();
    table.NtQueryInformationFile = kNtQueryInformationFile.Find();
    return table;
  }();
  return calls;
}
