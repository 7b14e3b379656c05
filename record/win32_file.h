#pragma once
// The pieces the Win32 back-end is made of: an open file, a file's identity, and the names a
// path has on disk.
#include <windows.h>

#include "record/file_api.h"
#include "record/in_out_error.h"
#include "record/win32_file_calls.h"
#include "system/resource.h"

// Windows error numbers are the table's codes already.
[[noreturn]] void ThrowError(DWORD error);
[[noreturn]] void ThrowLastError();

// What a file is, whatever name reached it: the same file has the same volume and index by
// every spelling, link, mapped drive or short name.
struct FileIdentity {
  DWORD volume = 0;
  ULONGLONG index = 0;
  DWORD links = 0;
  DWORD attributes = 0;
  bool SameFile(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
FileIdentity IdentityOf(HANDLE file);
// Opens what path leads to for its attributes only, which no sharing refuses. An invalid handle,
// with the last error set, when nothing answers.
UniqueFile OpenForIdentity(const PathString& path);
// Whether path leads to the file identity names, now.
bool Leads(const PathString& path, const FileIdentity& identity);

class Win32File final : public OpenedFile {
 public:
  explicit Win32File(UniqueFile handle) : handle_(std::move(handle)) {}

  std::uint64_t Size() override;
  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  void Flush() override;
  void Close() override;

  HANDLE Get() const { return handle_.get(); }
  void CloseQuietly() { handle_.reset(); }

  FileIdentity identity;
  DWORD refusal = 0;  // why the save may not replace the file, found before its backup

 private:
  UniqueFile handle_;
};

// The full path of path in the \\?\ form.
PathString FullExtendedPath(const PathString& path);
// The long form of a path in the \\?\ form, for a name that may not exist yet: its folder's.
PathString LongPathOf(const PathString& extendedPath);
// The path of the open file, links and junctions resolved, in the \\?\ form; empty where
// Windows cannot tell (XP).
PathString FinalPathOf(HANDLE file);
// path with its last name spelled as the folder lists it, when the folder lists it.
PathString ListedSpelling(const PathString& extendedPath);
bool SameIgnoringCase(const PathString& a, const PathString& b);
