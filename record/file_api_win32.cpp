#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "record/file_api.h"
#include "record/in_out_error.h"

namespace {

// std::to_wstring would bring in the C library's whole wide printf for a few digits.
std::wstring Decimal(unsigned long value) {
  const std::string digits = std::to_string(value);
  return std::wstring(digits.begin(), digits.end());
}

// Owns one kernel handle; the only place that closes one.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Close(); }

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // False, with the last error set, when closing failed; the handle is gone either way.
  bool Close() {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    return handle == INVALID_HANDLE_VALUE || CloseHandle(handle) != FALSE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Windows error numbers are the table's codes already.
[[noreturn]] void ThrowError(DWORD error) { throw EInOutError(static_cast<int>(error)); }
[[noreturn]] void ThrowLastError() { ThrowError(GetLastError()); }

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The absolute path in the \\?\ form, which lifts the 260-character limit. That form skips
// all normalisation, so the path is made absolute and cleaned first.
std::wstring ExtendedPath(const std::wstring& path) {
  if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) return path;
  std::wstring full;
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  for (;;) {
    if (size == 0) ThrowLastError();
    full.resize(size);
    const DWORD used = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (used == 0) ThrowLastError();
    if (used < size) {
      full.resize(used);
      break;
    }
    size = used;  // The current folder changed between the two calls.
  }
  if (StartsWith(full, L"\\\\?\\") || StartsWith(full, L"\\\\.\\")) return full;
  if (StartsWith(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring FolderOf(const std::wstring& extended_path) {
  return extended_path.substr(0, extended_path.find_last_of(L'\\') + 1);
}

class Win32File final : public OpenedFile {
 public:
  explicit Win32File(UniqueHandle handle) : handle_(std::move(handle)) {}

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_.Get(), &size)) ThrowLastError();
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    DWORD got = 0;
    if (!ReadFile(handle_.Get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();
    return got;
  }

  // Wine on a full disk reports success with part of the bytes written; the next call fails.
  std::size_t Write(const void* buffer, std::size_t count) override {
    DWORD put = 0;
    if (!WriteFile(handle_.Get(), buffer, Chunk(count), &put, nullptr)) ThrowLastError();
    if (put == 0 && count != 0) ThrowError(ERROR_DISK_FULL);
    return put;
  }

  void Flush() override {
    if (!FlushFileBuffers(handle_.Get())) ThrowLastError();
  }

  void Close() override {
    if (!handle_.Close()) ThrowLastError();
  }

 private:
  static DWORD Chunk(std::size_t count) {
    return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  }

  UniqueHandle handle_;
};

class Win32FileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    UniqueHandle handle(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle.Valid()) ThrowLastError();
    return std::make_unique<Win32File>(std::move(handle));
  }

  void CheckReplaceable(const PathString& path) override {
    const std::wstring target = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return;
      ThrowError(error);
    }
    // Wine lets a rename replace any of these, and root can write a read-only file; Windows
    // itself refuses them, so refuse them everywhere.
    constexpr DWORD kRefused =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    if (attributes & kRefused) ThrowError(ERROR_ACCESS_DENIED);
    // Opening for writing without truncating fails, with a sharing violation, exactly when
    // another program holds the file open; nothing is written.
    UniqueHandle probe(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe.Valid()) ThrowLastError();
  }

  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& target, PathString& temporary_path) override {
    const std::wstring prefix =
        FolderOf(ExtendedPath(target)) + L"~vm" + Decimal(GetCurrentProcessId()) + L"-";
    for (int attempt = 0;; ++attempt) {
      std::wstring path = prefix + Decimal(counter_++) + L".tmp";
      UniqueHandle handle(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle.Valid()) {
        const DWORD error = GetLastError();
        if ((error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) && attempt < 100) {
          continue;
        }
        ThrowError(error);
      }
      temporary_path = path;
      return std::make_unique<Win32File>(std::move(handle));
    }
  }

  void Replace(const PathString& from, const PathString& to) override {
    if (!MoveFileExW(ExtendedPath(from).c_str(), ExtendedPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowLastError();
    }
  }

  void Remove(const PathString& path) override {
    if (!DeleteFileW(ExtendedPath(path).c_str())) ThrowLastError();
  }

 private:
  unsigned counter_ = 0;
};

}  // namespace

FileApi& DefaultFileApi() {
  static Win32FileApi files;
  return files;
}
