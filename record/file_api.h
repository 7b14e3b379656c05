#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif
using PathString = std::basic_string<PathChar>;

// One open file. Every failing method throws EInOutError with the platform's code already
// mapped onto the table of messages. Destroying a file that was not closed closes it quietly:
// that is the clean-up path after an earlier failure, whose error is the one worth reporting.
class OpenedFile {
 public:
  virtual ~OpenedFile() = default;
  virtual std::uint64_t Size() = 0;
  // Returns 0 only at the end of the file.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Returns how many bytes went out, at least 1: a device that takes nothing throws (disk
  // full) instead of returning 0, so callers loop on short writes without spinning.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual void Flush() = 0;
  virtual void Close() = 0;
};

// Held for as long as one save of a file runs; released when destroyed.
class SaveLock {
 public:
  virtual ~SaveLock() = default;
};

// The few file-system operations loading and saving need: the program's one back-end is the
// Win32 file system; the host tests drive the same logic through one kept in memory. A save's
// calls take the file that OpenForSaving returned as `original` (null when there was no file).
class FileApi {
 public:
  virtual ~FileApi() = default;

  // Existing file, shared with readers only: fails while another program has it open for
  // writing.
  virtual std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) = 0;
  // The full path as the file system resolves the name (on Windows: trailing dots and spaces
  // dropped, short names expanded), so that names derived from it name the same file's
  // neighbours.
  virtual PathString CanonicalPath(const PathString& path) = 0;
  // Keeps every other save of the same canonical path away until the lock is destroyed: waits
  // a little for one under way, then throws kInOutSharingViolation.
  virtual std::unique_ptr<SaveLock> LockSave(const PathString& canonical) = 0;
  // Begins a save of path, whose canonical path is canonical. Sets canonical's last name to
  // the letter case the folder lists it in, and target to the file the save replaces, the one
  // path leads to through links, and opens it for reading. Throws unless target is a regular
  // file with no other name and a link at path still leads somewhere. Returns null when there
  // is no file yet.
  virtual std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, PathString& canonical,
                                                    PathString& target) = 0;
  // Throws unless the backup may be replaced as a name: a regular file that is not read-only,
  // hidden or system, or missing in a folder that exists.
  virtual void CheckBackup(const PathString& backup) = 0;
  // Throws unless the save may replace target now: it must be writable, not hidden, not
  // system. Asked only once the backup is written, so that a refused file still gets one.
  virtual void CheckReplaceable(const PathString& target, OpenedFile* original) = 0;
  // Creates a new file for writing, shared with readers only, at path where it can. Whatever
  // already stands there (a killed save's leftover, a link, a read-only file) is never opened:
  // it is replaced as a name, or, where it cannot be, left alone and path is changed to the
  // free name the file was made at.
  virtual std::unique_ptr<OpenedFile> CreateTemporary(PathString& path) = 0;
  // Both replacements remove from when they fail, unless it is then the only copy of the record.
  // Moves from over the backup to, replacing whatever entry stands there as a name: a link
  // there is replaced, never what it leads to.
  virtual void ReplaceBackup(const PathString& from, const PathString& to) = 0;
  // Moves from over target, the file the save opened as original, keeping what the platform
  // keeps of a replaced file. Without original the file was missing, and a file that has come
  // back meanwhile is not overwritten (kInOutFileChanged).
  virtual void ReplaceTarget(const PathString& from, const PathString& target, OpenedFile* original) = 0;
  virtual void Remove(const PathString& path) = 0;
};

#ifdef _WIN32
// The platform's own file system.
FileApi& DefaultFileApi();
#endif
