#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>

#include "record/file_api.h"
#include "record/in_out_error.h"
#include "record/record_io.h"
#include "record/win32_file_calls.h"
#include "system/resource.h"
#include "system/system_functions.h"

namespace {

using UniqueFileHandle = UniqueFile;
using UniqueFindHandle = UniqueFind;

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
  DWORD size = FileCalls().GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  for (;;) {
    if (size == 0) ThrowLastError();
    full.resize(size);
    const DWORD used = FileCalls().GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
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

std::size_t NameStart(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L'\\');
  return separator == std::wstring::npos ? 0 : separator + 1;
}

// The directory entry of a name as the folder lists it, without following a link: a link's
// own name, also when it leads nowhere.
bool FindEntry(const std::wstring& extended_path, WIN32_FIND_DATAW& data) {
  // A wildcard would match other names; no file name can hold one.
  if (extended_path.find_first_of(L"*?", 4) != std::wstring::npos) return false;
  UniqueFindHandle find(FileCalls().FindFirstFileW(extended_path.c_str(), &data));
  return static_cast<bool>(find);
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// Whether something stands at a name no file answers to: a link whose file is gone, which Wine
// hides from every query but this one. A probe made where nothing stood is gone when closed.
bool NameTaken(const std::wstring& extended_path) {
  const UniqueFileHandle probe(FileCalls().CreateFileW(extended_path.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                                       FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (probe) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// INVALID_FILE_ATTRIBUTES, with the last error set, when the file cannot be asked.
DWORD AttributesOf(const std::wstring& extended_path) {
  return FileCalls().GetFileAttributesW(extended_path.c_str());
}

bool Exists(const std::wstring& extended_path) {
  return AttributesOf(extended_path) != INVALID_FILE_ATTRIBUTES;
}

// Wine lets a rename replace any of these, and root can write a read-only file; Windows
// itself refuses them, so refuse them everywhere.
constexpr DWORD kNotReplaceable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The long form of the path, for a name that may not exist yet: its folder's long form. Only a
// path with a short name in it needs it, and every short name Windows makes has a tilde.
std::wstring LongPathOf(const std::wstring& extended_path) {
  if (extended_path.find(L'~') == std::wstring::npos) return extended_path;
  // Wine expands nothing behind \\?\, so a path short enough goes without it.
  const bool drive = extended_path.size() < MAX_PATH && extended_path.compare(5, 1, L":") == 0;
  const std::size_t prefix = drive ? 4 : 0;
  std::wstring path(extended_path.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD used = FileCalls().GetLongPathNameW(extended_path.c_str() + prefix, &path[prefix],
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

// The path the open file really has, links and junctions resolved, in the letter case it has
// on disk; empty where Windows cannot tell. XP has no links to files: there the name is the file.
std::wstring FinalPathOf(HANDLE file) {
  const auto function = FileCalls().GetFinalPathNameByHandleW;
  if (function == nullptr) return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD used = function(file, &path[0], static_cast<DWORD>(path.size()), 0 /* normalised, DOS */);
    if (used == 0) return {};
    if (used < path.size()) {
      path.resize(used);
      return path;
    }
    path.resize(used);
  }
}

// How many names the file has. Vista's query costs Wine one call where XP's costs several.
DWORD LinkCount(HANDLE file) {
  if (const auto query = FileCalls().GetFileInformationByHandleEx) {
    StandardInformation standard{};
    if (query(file, kFileStandardInfo, &standard, sizeof standard)) return standard.NumberOfLinks;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!FileCalls().GetFileInformationByHandle(file, &information)) ThrowLastError();
  return information.nNumberOfLinks;
}

// An open file; one opened for a save also carries why it may not be replaced, if it may not.
class Win32File final : public OpenedFile {
 public:
  explicit Win32File(UniqueFileHandle handle) : handle_(std::move(handle)) {}

  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    if (!FileCalls().GetFileSizeEx(handle_.get(), &size)) ThrowLastError();
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::size_t Read(void* buffer, std::size_t count) override {
    DWORD got = 0;
    if (!FileCalls().ReadFile(handle_.get(), buffer, Chunk(count), &got, nullptr)) ThrowLastError();
    return got;
  }

  // Wine on a full disk reports success with part of the bytes written; the next call fails.
  std::size_t Write(const void* buffer, std::size_t count) override {
    DWORD put = 0;
    if (!FileCalls().WriteFile(handle_.get(), buffer, Chunk(count), &put, nullptr)) ThrowLastError();
    if (put == 0 && count != 0) ThrowError(ERROR_DISK_FULL);
    return put;
  }

  void Flush() override {
    if (!FileCalls().FlushFileBuffers(handle_.get())) ThrowLastError();
  }

  // The handle is gone even when closing fails.
  void Close() override {
    if (handle_ && !FileCalls().CloseHandle(handle_.release())) ThrowLastError();
  }

  HANDLE Get() const { return handle_.get(); }
  void CloseQuietly() { handle_.reset(); }

  DWORD refusal = 0;

 private:
  static DWORD Chunk(std::size_t count) {
    return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  }

  UniqueFileHandle handle_;
};

class Win32SaveLock final : public SaveLock {
 public:
  Win32SaveLock(UniqueMutex mutex) : mutex_(std::move(mutex)), ownership_(mutex_.get()) {}

 private:
  UniqueMutex mutex_;
  MutexReleaser ownership_;  // released before the handle is closed
};

// One name per file for the lock, whatever the letter case: FNV-1a over the upper-case path.
std::wstring LockName(const std::wstring& canonical) {
  std::wstring upper(canonical.size(), L'\0');
  if (canonical.empty() ||
      LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, canonical.c_str(), static_cast<int>(canonical.size()),
                   &upper[0], static_cast<int>(upper.size())) == 0) {
    upper = canonical;
  }
  unsigned long long hash = 14695981039346656037ull;
  for (const wchar_t c : upper) {
    hash = (hash ^ static_cast<unsigned>(c)) * 1099511628211ull;
  }
  std::wstring name = L"Local\\Velmora save ";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 0xF];
  return name;
}

// How long a save waits for another one of the same file, which takes milliseconds.
constexpr DWORD kSaveWaitMs = 5000;

// The time a few seconds ago, to tell what a replace itself left from what was there before.
FILETIME SecondsAgo(int seconds) {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value{{now.dwLowDateTime, now.dwHighDateTime}};
  value.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000u;
  return FILETIME{value.LowPart, value.HighPart};
}

// Wine's ReplaceFileW first moves the replaced file to an empty rfXXXX.tmp beside it and leaves
// that behind when the move fails. Windows leaves nothing; nothing is what the user should find.
void RemoveReplaceLeftovers(const std::wstring& destination, const FILETIME& since) {
  const std::wstring folder = destination.substr(0, NameStart(destination));
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(FileCalls().FindFirstFileW((folder + L"rf*.tmp").c_str(), &data));
  if (!find) return;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 &&
        data.nFileSizeLow == 0 && CompareFileTime(&data.ftLastWriteTime, &since) >= 0) {
      FileCalls().DeleteFileW((folder + data.cFileName).c_str());
    }
  } while (FindNextFileW(find.get(), &data));
}

class Win32FileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    UniqueFileHandle handle(FileCalls().CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                                    nullptr));
    if (!handle) ThrowLastError();
    return std::make_unique<Win32File>(std::move(handle));
  }

  PathString CanonicalPath(const PathString& path) override { return LongPathOf(ExtendedPath(path)); }

  std::unique_ptr<SaveLock> LockSave(const PathString& canonical) override {
    UniqueMutex mutex(FileCalls().CreateMutexW(nullptr, FALSE, LockName(canonical).c_str()));
    if (!mutex) ThrowLastError();
    switch (FileCalls().WaitForSingleObject(mutex.get(), kSaveWaitMs)) {
      case WAIT_OBJECT_0:
      case WAIT_ABANDONED:  // a save that was killed: the checks on the file still hold
        return std::make_unique<Win32SaveLock>(std::move(mutex));
      case WAIT_TIMEOUT:
        ThrowError(ERROR_SHARING_VIOLATION);
      default:
        ThrowLastError();
    }
  }

  // The last name is taken as the folder lists it, so that a save neither renames AUDIO_CFG.DB
  // to the case typed nor names its backup after that case.
  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, PathString& canonical,
                                            PathString& target) override {
    const std::wstring name = ExtendedPath(path);
    const DWORD attributes = AttributesOf(name);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();
      if (NameTaken(name)) throw EInOutError(kInOutBrokenLink);
      target = canonical;  // saved anew
      return nullptr;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) ThrowError(ERROR_ACCESS_DENIED);
    // Others may read meanwhile but not write; one already writing makes this fail with a
    // sharing violation.
    UniqueFileHandle handle(FileCalls().CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) {
      const DWORD error = GetLastError();
      // Windows answers for a link itself, then finds nothing where it leads.
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
          (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
        throw EInOutError(kInOutBrokenLink);
      }
      ThrowError(error);
    }
    if (LinkCount(handle.get()) > 1) throw EInOutError(kInOutHardLinked);
    auto file = std::make_unique<Win32File>(std::move(handle));
    if (attributes & kNotReplaceable) file->refusal = ERROR_ACCESS_DENIED;
    target = FinalPathOf(file->Get());
    const std::size_t start = NameStart(canonical);
    if (!target.empty() && SameIgnoringCase(target, canonical)) {
      canonical = target;  // the name is the file: the cheap way to its spelling
      return file;
    }
    // A link, or XP: ask the folder.
    WIN32_FIND_DATAW data{};
    if (FindEntry(canonical, data) && _wcsicmp(data.cFileName, canonical.c_str() + start) == 0) {
      canonical.replace(start, std::wstring::npos, data.cFileName);
    }
    if (target.empty()) target = canonical;
    return file;
  }

  void CheckBackup(const PathString& backup) override {
    // Whatever stands at the backup's name is only ever replaced as a name, so a link or a
    // second name there leads nowhere; what the user protected is left alone.
    const DWORD attributes = AttributesOf(ExtendedPath(backup));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();
    } else if (attributes & (kNotReplaceable | FILE_ATTRIBUTE_DIRECTORY)) {
      throw EInOutError(kInOutBackupProtected);
    }
  }

  void CheckReplaceable(const PathString&, OpenedFile* original) override {
    const auto* file = dynamic_cast<Win32File*>(original);
    if (file != nullptr && file->refusal != 0) ThrowError(file->refusal);
  }

  std::unique_ptr<OpenedFile> CreateTemporary(PathString& path) override {
    const std::wstring name = ExtendedPath(path);
    UniqueFileHandle handle = CreateNew(name);
    if (handle) return std::make_unique<Win32File>(std::move(handle));
    // Something stands at the name: a killed save's leftover, or a link or file put there.
    // Opening it would reach what a link leads to, so a new file is made beside it and renamed
    // over the name, which replaces the entry itself. Where even that is refused (a read-only
    // leftover on Windows), the new file keeps its own name and the leftover is left alone.
    PathString free_path = path;
    for (wchar_t digit = L'0'; digit <= L'9' && !handle; ++digit) {
      free_path.back() = digit;
      handle = CreateNew(ExtendedPath(free_path));
    }
    if (!handle) ThrowError(ERROR_FILE_EXISTS);
    if (!FileCalls().MoveFileExW(ExtendedPath(free_path).c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      path = free_path;
    }
    return std::make_unique<Win32File>(std::move(handle));
  }

  void ReplaceBackup(const PathString& from, const PathString& to) override {
    const std::wstring source = ExtendedPath(from);
    if (!FileCalls().MoveFileExW(source.c_str(), ExtendedPath(to).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD error = GetLastError();
      FileCalls().DeleteFileW(source.c_str());
      ThrowError(error);
    }
  }

  // ReplaceFileW keeps the replaced file's security, attributes, creation time, short name and
  // streams, which a rename would lose.
  void ReplaceTarget(const PathString& from, const PathString& target, OpenedFile* original) override {
    const std::wstring source = ExtendedPath(from);
    const std::wstring destination = ExtendedPath(target);
    if (original == nullptr) {
      // Saved anew: a file that has come back meanwhile is somebody else's.
      if (FileCalls().MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH)) return;
      const DWORD error = GetLastError();
      FileCalls().DeleteFileW(source.c_str());
      if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) throw EInOutError(kInOutFileChanged);
      ThrowError(error);
    }
    // Held so far to keep writers away, the file's handle would now be in the replace's way.
    static_cast<Win32File*>(original)->CloseQuietly();
    // Wine's ReplaceFileW builds a temporary name in a MAX_PATH buffer and garbles longer
    // paths; past that length the plain rename is the safe choice.
    const bool replaceable = destination.size() + 16 < MAX_PATH;
    const FILETIME started = SecondsAgo(2);  // FAT keeps times to two seconds
    DWORD error = 0;
    if (replaceable) {
      if (FileCalls().ReplaceFileW(destination.c_str(), source.c_str(), nullptr,
                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return;
      }
      error = GetLastError();
      RemoveReplaceLeftovers(destination, started);
    } else if (FileCalls().MoveFileExW(source.c_str(), destination.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return;
    } else {
      error = GetLastError();
    }
    // 1176 (and 1177, and a file deleted meanwhile) leave no file at the name: the record is
    // then only in the temporary, which is moved in, or kept when even that fails.
    if (!Exists(destination)) {
      if (FileCalls().MoveFileExW(source.c_str(), destination.c_str(), MOVEFILE_WRITE_THROUGH)) return;
      ThrowLastError();
    }
    FileCalls().DeleteFileW(source.c_str());
    ThrowError(error);
  }

  void Remove(const PathString& path) override {
    if (!FileCalls().DeleteFileW(ExtendedPath(path).c_str())) ThrowLastError();
  }

 private:
  // Never opens what already stands at the name, a link that leads nowhere included. Others
  // may read, and the file may be renamed while open, for CreateTemporary.
  static UniqueFileHandle CreateNew(const std::wstring& extended_path) {
    UniqueFileHandle handle(FileCalls().CreateFileW(extended_path.c_str(), GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
      const DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
    }
    return handle;
  }
};

}  // namespace

Win32FileCalls& FileCalls() {
  static Win32FileCalls calls = [] {
    Win32FileCalls table;
    table.GetFinalPathNameByHandleW = kGetFinalPathNameByHandleW.Find();
    table.GetFileInformationByHandleEx = kGetFileInformationByHandleEx.Find();
    return table;
  }();
  return calls;
}

FileApi& DefaultFileApi() {
  static Win32FileApi files;
  return files;
}

void Load(const PathString& path) { Load(TheRecord(), DefaultFileApi(), path); }

void Save(const PathString& path, const std::array<int, 4>& levels) {
  Save(TheRecord(), DefaultFileApi(), path, levels);
}
