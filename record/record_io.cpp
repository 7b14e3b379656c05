#include "record/record_io.h"

#include <utility>
#include <vector>

namespace {

constexpr int kDiskFull = 112;  // ERROR_DISK_FULL

// Reads until count bytes are in or the file ends; returns how many came.
std::size_t ReadUpTo(OpenedFile& file, std::uint8_t* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t got = file.Read(buffer + done, count - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

std::vector<std::uint8_t> ReadWholeFile(FileApi& files, const PathString& path) {
  std::unique_ptr<OpenedFile> file = files.OpenForReading(path);
  const std::uint64_t size = file->Size();
  if (size == 0) throw EInOutError(kInOutFileEmpty);
  if (size < kRecordSize) throw EInOutError(kInOutFileTooShort);
  if (size > kMaxFileSize) throw EInOutError(kInOutFileTooLarge);

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  // The size we were told and what could be read differ only if the file changed under us.
  bytes.resize(ReadUpTo(*file, bytes.data(), bytes.size()));
  file->Close();
  if (bytes.size() < kRecordSize) throw EInOutError(kInOutFileTooShort);
  return bytes;
}

// Compares the file as it is now with what this program last loaded or saved. Times would not
// do: FAT keeps them to two seconds.
bool HoldsExactly(OpenedFile& file, const std::vector<std::uint8_t>& expected) {
  if (file.Size() != expected.size()) return false;
  std::vector<std::uint8_t> bytes(expected.size());
  return ReadUpTo(file, bytes.data(), bytes.size()) == bytes.size() && bytes == expected;
}

// Removes the temporary file unless it has been handed on, so that no failure leaves one.
class TemporaryFile {
 public:
  TemporaryFile(FileApi& files, const PathString& beside) : files_(files) {
    file_ = files.CreateTemporary(beside, path_);
  }
  ~TemporaryFile() {
    if (path_.empty()) return;
    file_.reset();
    try {
      files_.Remove(path_);
    } catch (const EInOutError&) {
      // The failure that brought us here is the one to report.
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  OpenedFile& File() { return *file_; }
  // From the rename on, the back-end owns the temporary: when a failed replace has left it the
  // only copy of the record, it must stay.
  PathString Release() { return std::exchange(path_, PathString()); }

 private:
  FileApi& files_;
  PathString path_;
  std::unique_ptr<OpenedFile> file_;
};

void WriteAll(OpenedFile& file, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t put = file.Write(bytes.data() + done, bytes.size() - done);
    if (put == 0 || put > bytes.size() - done) throw EInOutError(kDiskFull);
    done += put;
  }
}

// Writes bytes to a new temporary file named after beside, in its folder, and flushes it;
// putInPlace then moves it to its destination, which is either left as it was or holds all of
// bytes.
template <typename PutInPlace>
void WriteThroughTemporary(FileApi& files, const PathString& beside, const std::vector<std::uint8_t>& bytes,
                           PutInPlace putInPlace) {
  TemporaryFile temporary(files, beside);
  WriteAll(temporary.File(), bytes);
  temporary.File().Flush();
  temporary.File().Close();
  putInPlace(temporary.Release());
}

// Names longer than this fail on every common file system (NTFS, FAT32, ext4, tmpfs).
constexpr std::size_t kMaxNameLength = 255;

// The backup's name is the longest a save makes, its temporaries' included.
void CheckNameLengths(const PathString& path) {
  if (NameLength(BackupPath(path)) > kMaxNameLength) throw EInOutError(kInOutBackupNameTooLong);
}

}  // namespace

void Load(AudioConfigRecord& record, FileApi& files, const PathString& path) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  record.AssignFileBytes(ReadWholeFile(files, path));
}

void Save(AudioConfigRecord& record, FileApi& files, const PathString& path, const VolumeLevels& levels) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  // From here on the save works on the file itself, whatever spelling reached it; a second
  // window saving the same file waits for this one, then finds the file changed.
  SaveHold hold = files.OpenForSaving(path);
  CheckNameLengths(hold.name);
  CheckNameLengths(hold.target);
  const PathString backup = BackupPath(hold.name);
  files.CheckBackup(backup);
  // A file gone since it was opened is written again; one that changed is not overwritten.
  if (hold.file && !HoldsExactly(*hold.file, record.FileBytes())) throw EInOutError(kInOutFileChanged);

  // The backup is complete before the file is touched.
  WriteThroughTemporary(files, hold.name, record.FileBytes(),
                        [&](const PathString& temporary) { files.ReplaceBackup(temporary, backup); });
  files.CheckReplaceable(hold);
  AudioConfigRecord saved = record;
  saved.WriteLevels(levels);
  WriteThroughTemporary(files, hold.target, saved.FileBytes(),
                        [&](const PathString& temporary) { files.ReplaceTarget(temporary, hold); });
  record = std::move(saved);
}
