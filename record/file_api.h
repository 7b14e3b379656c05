#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "record/path_names.h"

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

// A save's hold on its file, found once from the name the user chose. Destroyed in reverse
// order: the file is closed before the lock lets the next save in.
struct SaveHold {
  std::unique_ptr<SaveLock> lock;
  // The file as it stands, open for reading and kept from other writers; null when there is
  // no file at the name yet.
  std::unique_ptr<OpenedFile> file;
  // The chosen name as its folder spells it: the backup goes beside it.
  PathString name;
  // The file itself, links followed, by a name shown to lead to the file held.
  PathString target;
};

// The few file-system operations loading and saving need: the program's one back-end is the
// Win32 file system; the host tests drive the same logic through one kept in memory.
class FileApi {
 public:
  virtual ~FileApi() = default;

  // Existing file, shared with readers only: fails while another program has it open for
  // writing.
  virtual std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) = 0;
  // Begins a save of path: finds the file the name leads to, keeps every other save of that
  // file waiting (by whatever name it was reached: they find it changed once this one ends),
  // and holds it. Throws unless the target is a regular file with no other name that the user
  // may write, and a link at path still leads somewhere.
  virtual SaveHold OpenForSaving(const PathString& path) = 0;
  // Throws unless the backup may be replaced as a name: a regular file that is not read-only,
  // hidden or system, or missing in a folder that exists.
  virtual void CheckBackup(const PathString& backup) = 0;
  // Throws unless the save may replace its file now: not read-only, hidden or system. Asked
  // only once the backup is written, so that a refused file still gets one.
  virtual void CheckReplaceable(const SaveHold& hold) = 0;
  // Creates a new file for writing, shared with readers only, at the first free name of
  // TemporaryPath(beside, ...), which path is set to. Nothing that already stands at those
  // names is opened, replaced or removed.
  virtual std::unique_ptr<OpenedFile> CreateTemporary(const PathString& beside, PathString& path) = 0;
  // Both replacements remove from when they fail, unless it is then the only copy of the record.
  // Moves from over the backup to, replacing whatever entry stands there as a name: a link
  // there is replaced, never what it leads to.
  virtual void ReplaceBackup(const PathString& from, const PathString& to) = 0;
  // Moves from over the held file, once it is shown to be still the file at hold.target,
  // keeping what the platform keeps of a replaced file; at no moment is the name empty. With
  // no file held, a file that has come back meanwhile is not overwritten (kInOutFileChanged).
  virtual void ReplaceTarget(const PathString& from, SaveHold& hold) = 0;
  // Removes a temporary this save made.
  virtual void Remove(const PathString& path) = 0;
};
