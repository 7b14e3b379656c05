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

// The few file-system operations loading and saving need. Tests wrap it to make any single
// call fail. A save's calls take the file that OpenForSaving returned as `original` (null when
// there was no file): it holds what the save learnt of the file and keeps other saves away.
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
  // Begins a save of path whose backup is backup. Sets target to the file the save replaces,
  // the one path leads to through links, and opens it for reading. Throws unless the backup
  // may be replaced (a writable, non-hidden, non-system regular file, or missing in a folder
  // that exists), target is a regular file with no other name, and no other save of it is
  // under way. Returns null when there is no file yet.
  virtual std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, const PathString& backup,
                                                    PathString& target) = 0;
  // Makes backup one more name of the original file, in place of any old backup, where the
  // file system allows it: the backup is then complete without a byte written. temporary is
  // the name it passes through. Returns false, having changed nothing, where it cannot.
  virtual bool LinkBackup(OpenedFile& original, const PathString& target, const PathString& temporary,
                          const PathString& backup) = 0;
  // Throws unless the save may replace target now: it must be writable, not hidden, not
  // system. Asked only once the backup is written, so that a refused file still gets one.
  virtual void CheckReplaceable(const PathString& target, OpenedFile* original) = 0;
  // Creates the temporary file at path for writing, shared with readers only. A leftover of
  // a save that was killed is replaced; a temporary another save is writing fails with
  // kInOutSharingViolation and is left alone. Where a rename would lose them, it takes the
  // original's mode, owner and extended attributes.
  virtual std::unique_ptr<OpenedFile> CreateTemporary(const PathString& path, OpenedFile* original) = 0;
  // Moves from over to, replacing it but keeping what the platform keeps of a replaced file,
  // and makes the move durable.
  virtual void Replace(const PathString& from, const PathString& to, OpenedFile* original) = 0;
  virtual void Remove(const PathString& path) = 0;
};

// The platform's own file system.
FileApi& DefaultFileApi();
