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
// call fail.
class FileApi {
 public:
  virtual ~FileApi() = default;

  // Existing file, shared with readers only: fails while another program has it open for
  // writing.
  virtual std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) = 0;
  // Throws unless a save may replace the file at path: it must be a writable, non-hidden,
  // non-system regular file that nobody else holds open for writing. A missing file passes
  // as long as its folder exists.
  virtual void CheckReplaceable(const PathString& path) = 0;
  // Creates a new empty file in the folder of target, open for writing and shared with
  // readers only, and returns it with its path.
  virtual std::unique_ptr<OpenedFile> CreateTemporary(const PathString& target,
                                                      PathString& temporary_path) = 0;
  // Moves from over to, replacing it, and makes the move durable.
  virtual void Replace(const PathString& from, const PathString& to) = 0;
  virtual void Remove(const PathString& path) = 0;
};

// The platform's own file system.
FileApi& DefaultFileApi();
