#include "record/win32_file.h"

void ThrowError(DWORD error) { throw EInOutError(static_cast<int>(error)); }
void ThrowLastError() { ThrowError(GetLastError()); }

namespace {

bool QueryIdentity(HANDLE file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!FileCalls().GetFileInformationByHandle(file, &information)) return false;
  identity.volume = information.dwVolumeSerialNumber;
  identity.index = (static_cast<ULONGLONG>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  identity.links = information.nNumberOfLinks;
  identity.attributes = information.dwFileAttributes;
  return true;
}

DWORD Chunk(std::size_t count) { return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count); }

}  // namespace

FileIdentity IdentityOf(HANDLE file) {
  FileIdentity identity;
  if (!QueryIdentity(file, identity)) ThrowLastError();
  return identity;
}

UniqueFile OpenForIdentity(const PathString& path) {
  // Folders open only with backup semantics; no access to the data is asked, so no program's
  // sharing stands in the way.
  return UniqueFile(FileCalls().CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool Leads(const PathString& path, const FileIdentity& identity) {
  const UniqueFile file = OpenForIdentity(path);
  FileIdentity found;
  return file && QueryIdentity(file.get(), found) && found.SameFile(identity);
}

std::uint64_t Win32File::Size() {
  LARGE_INTEGER size{};
  if (!FileCalls().GetFileSizeEx(handle_.get(), &size)) ThrowLastError();
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t Win32File::Read(void* buffer, std::size_t count) {
  DWORD got = 0;
  if (!FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();
  return got;
}

// Wine on a full disk reports success with part of the bytes written; the next call fails.
std::size_t Win32File::Write(const void* buffer, std::size_t count) {
  DWORD put = 0;
  if (!FileCalls().WriteFile(handle_.get(), buffer, Chunk(count), &put, nullptr)) ThrowLastError();
  if (put == 0 && count != 0) ThrowError(ERROR_DISK_FULL);
  return put;
}

void Win32File::Flush() {
  if (!FileCalls().FlushFileBuffers(handle_.get())) ThrowLastError();
}

// The handle is gone even when closing fails; a failed close may have lost written data.
void Win32File::Close() {
  if (handle_ && !FileCalls().CloseHandle(handle_.release())) ThrowLastError();
}
