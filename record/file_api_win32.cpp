#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "record/file_api.h"
#include "record/in_out_error.h"
#include "system/system_functions.h"
#include "system/unique_any.h"

namespace {

// Kernel handles say "none" with INVALID_HANDLE_VALUE, which is no compile-time constant.
struct KernelHandlePolicy {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { CloseHandle(handle); }
};
using UniqueFileHandle = UniqueAny<KernelHandlePolicy>;

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

// A file opened for a save also carries where it really is and why it may not be replaced.
class Win32File final : public OpenedFile {
 public:
  explicit Win32File(UniqueFileHandle handle) : handle_(std::move(handle)) {}

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_.get(), &size)) ThrowLastError();
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    DWORD got = 0;
    if (!ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();
    return got;
  }

  // Wine on a full disk reports success with part of the bytes written; the next call fails.
  std::size_t Write(const void* buffer, std::size_t count) override {
    DWORD put = 0;
    if (!WriteFile(handle_.get(), buffer, Chunk(count), &put, nullptr)) ThrowLastError();
    if (put == 0 && count != 0) ThrowError(ERROR_DISK_FULL);
    return put;
  }

  void Flush() override {
    if (!FlushFileBuffers(handle_.get())) ThrowLastError();
  }

  // The handle is gone even when closing fails.
  void Close() override {
    if (handle_ && !CloseHandle(handle_.release())) ThrowLastError();
  }

  HANDLE Get() const { return handle_.get(); }
  void CloseQuietly() { handle_.reset(); }

  std::wstring target;  // the file the name led to, in the \\?\ form
  DWORD refusal = 0;

 private:
  static DWORD Chunk(std::size_t count) {
    return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  }

  UniqueFileHandle handle_;
};

// INVALID_FILE_ATTRIBUTES, with the last error set, when the file cannot be asked.
DWORD AttributesOf(const std::wstring& extended_path) { return GetFileAttributesW(extended_path.c_str()); }

// Wine lets a rename replace any of these, and root can write a read-only file; Windows
// itself refuses them, so refuse them everywhere.
constexpr DWORD kNotReplaceable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The path the open file really has, links and junctions resolved: Vista and later know it;
// XP has no links to files, so there the name is the file.
std::wstring FinalPathOf(HANDLE file, const std::wstring& fallback) {
  const auto function = kGetFinalPathNameByHandleW.Find();
  if (function == nullptr) return fallback;
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD used = function(file, &path[0], static_cast<DWORD>(path.size()), 0 /* normalised, DOS */);
    if (used == 0) return fallback;
    if (used < path.size()) {
      path.resize(used);
      break;
    }
    path.resize(used);
  }
  return path;
}

// The long form of the path, for a name that may not exist yet: its folder's long form.
std::wstring LongPathOf(const std::wstring& extended_path) {
  // Wine expands nothing behind \\?\, so a path short enough goes without it.
  const bool drive = extended_path.size() < MAX_PATH && extended_path.compare(5, 1, L":") == 0;
  const std::size_t prefix = drive ? 4 : 0;
  std::wstring path(extended_path.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD used = GetLongPathNameW(extended_path.c_str() + prefix, &path[prefix],
                                        static_cast<DWORD>(path.size() - prefix));
    if (used == 0) break;
    if (used < path.size() - prefix) {
      path.resize(prefix + used);
      path.replace(0, prefix, extended_path, 0, prefix);
      return path;
    }
    path.resize(prefix + used);
  }
  const std::size_t separator = extended_path.find_last_of(L'\\');
  if (GetLastError() != ERROR_FILE_NOT_FOUND || separator == std::wstring::npos ||
      separator + 1 == extended_path.size()) {
    return extended_path;
  }
  const std::wstring folder = extended_path.substr(0, separator);
  if (folder.size() <= 6) return extended_path;  // \\?\C: and shorter: a drive, never shortened
  return LongPathOf(folder) + extended_path.substr(separator);
}

class Win32FileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    UniqueFileHandle handle(CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) ThrowLastError();
    return std::make_unique<Win32File>(std::move(handle));
  }

  PathString CanonicalPath(const PathString& path) override { return LongPathOf(ExtendedPath(path)); }

  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, const PathString& backup,
                                            PathString& target) override {
    const std::wstring name = ExtendedPath(path);
    const DWORD backup_attributes = AttributesOf(ExtendedPath(backup));
    if (backup_attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();
    } else if (backup_attributes & (kNotReplaceable | FILE_ATTRIBUTE_DIRECTORY)) {
      ThrowError(ERROR_ACCESS_DENIED);
    }
    const DWORD attributes = AttributesOf(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();
      target = CanonicalPath(path);  // saved anew
      return nullptr;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) ThrowError(ERROR_ACCESS_DENIED);
    // Others may read meanwhile but not write; one already writing makes this fail with a
    // sharing violation. Held until the file is replaced, it also makes another save's
    // replacement fail instead of overwriting this one.
    UniqueFileHandle handle(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) ThrowLastError();
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle.get(), &information)) ThrowLastError();
    if (information.nNumberOfLinks > 1) throw EInOutError(kInOutHardLinked);
    auto file = std::make_unique<Win32File>(std::move(handle));
    file->target = FinalPathOf(file->Get(), CanonicalPath(path));
    if (attributes & kNotReplaceable) file->refusal = ERROR_ACCESS_DENIED;
    target = file->target;
    return file;
  }

  bool LinkBackup(OpenedFile&, const PathString&, const PathString&, const PathString&) override {
    return false;
  }

  void CheckReplaceable(const PathString&, OpenedFile* original) override {
    const auto* file = dynamic_cast<Win32File*>(original);
    if (file != nullptr && file->refusal != 0) ThrowError(file->refusal);
  }

  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& path, OpenedFile*) override {
    const std::wstring name = ExtendedPath(path);
    UniqueFileHandle handle(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
      // Left by a save that was killed, or being written by another save now: that one holds
      // it open, so this open fails with a sharing violation and changes nothing.
      handle.reset(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!handle) ThrowLastError();
    }
    return std::make_unique<Win32File>(std::move(handle));
  }

  // ReplaceFileW keeps the replaced file's security, attributes, creation time, short name and
  // streams, which a rename would lose; with nothing to replace, the rename is all there is.
  void Replace(const PathString& from, const PathString& to, OpenedFile* original) override {
    const std::wstring source = ExtendedPath(from);
    const std::wstring destination = ExtendedPath(to);
    auto* file = dynamic_cast<Win32File*>(original);
    if (file != nullptr && file->target == destination) file->CloseQuietly();  // it would be in the way
    // Wine's ReplaceFileW builds a temporary name in a MAX_PATH buffer and garbles longer
    // paths; past that length the plain rename is the safe choice.
    const bool replaceable = destination.size() + 16 < MAX_PATH;
    if (replaceable && AttributesOf(destination) != INVALID_FILE_ATTRIBUTES) {
      if (ReplaceFileW(destination.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                       nullptr)) {
        return;
      }
      // Gone since it was asked about: then there is nothing to keep.
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_NOT_FOUND || AttributesOf(destination) != INVALID_FILE_ATTRIBUTES)
        ThrowError(error);
    }
    if (!MoveFileExW(source.c_str(), destination.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowLastError();
    }
  }

  void Remove(const PathString& path) override {
    if (!DeleteFileW(ExtendedPath(path).c_str())) ThrowLastError();
  }
};

}  // namespace

FileApi& DefaultFileApi() {
  static Win32FileApi files;
  return files;
}
