#include "record/record_io.h"

#include <utility>
#include <vector>

namespace {

constexpr int kDiskFull = 112;  // ERROR_DISK_FULL

constexpr PathChar kBackupSuffix[] = {'.', 'b', 'a', 'k', 0};

std::vector<std::uint8_t> ReadWholeFile(FileApi& files, const PathString& path) {
  std::unique_ptr<OpenedFile> file = files.OpenForReading(path);
  const std::uint64_t size = file->Size();
  if (size == 0) throw EInOutError(kInOutFileEmpty);
  if (size < kRecordSize) throw EInOutError(kInOutFileTooShort);
  if (size > kMaxFileSize) throw EInOutError(kInOutFileTooLarge);

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t got = file->Read(bytes.data() + done, bytes.size() - done);
    if (got == 0) break;
    done += got;
  }
  file->Close();
  // The size we were told and what could be read differ only if the file changed under us.
  if (done < kRecordSize) throw EInOutError(kInOutFileTooShort);
  bytes.resize(done);
  return bytes;
}

// Compares the file as it is now with what this program last loaded or saved. Times would not
// do: FAT keeps them to two seconds.
bool HoldsExactly(OpenedFile& file, const std::vector<std::uint8_t>& expected) {
  if (file.Size() != expected.size()) return false;
  std::vector<std::uint8_t> bytes(expected.size());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t got = file.Read(bytes.data() + done, bytes.size() - done);
    if (got == 0) return false;
    done += got;
  }
  return bytes == expected;
}

// Removes the temporary file unless it has become the target, so that no failure leaves one.
class TemporaryFile {
 public:
  TemporaryFile(FileApi& files, PathString path) : files_(files), path_(std::move(path)) {
    file_ = files.CreateTemporary(path_);
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
  const PathString& Path() const { return path_; }
  // From the rename on, the back-end owns the temporary: when a failed replace has left it the
  // only copy of the record, it must stay.
  void Release() { path_.clear(); }

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

// Writes bytes to a new temporary file and flushes it; replace then puts it in place, so the
// destination is either left as it was or holds all of bytes, never a part of them.
template <typename PutInPlace>
void WriteThroughTemporary(FileApi& files, const PathString& temporary_path, const std::vector<std::uint8_t>& bytes,
                           PutInPlace put_in_place) {
  TemporaryFile temporary(files, temporary_path);
  WriteAll(temporary.File(), bytes);
  temporary.File().Flush();
  temporary.File().Close();
  const PathString written = temporary.Path();
  temporary.Release();
  put_in_place(written);
}

std::size_t NameLength(const PathString& path) {
#ifdef _WIN32
  const std::size_t separator = path.find_last_of(L"\\/");
#else
  const std::size_t separator = path.find_last_of('/');
#endif
  return separator == PathString::npos ? path.size() : path.size() - separator - 1;
}

// Names longer than this fail on every common file system (NTFS, FAT32, ext4, tmpfs).
constexpr std::size_t kMaxNameLength = 255;

// One fixed temporary name per file, so a save that was killed leaves one leftover, which the
// next save replaces. No longer than the backup suffix, so it never passes the name limit first.
constexpr PathChar kTemporarySuffix[] = {'.', '~', 'v', 'm', 0};
static_assert(sizeof kTemporarySuffix <= sizeof kBackupSuffix, "the backup name is the longest");

}  // namespace

PathString BackupPath(const PathString& path) { return path + kBackupSuffix; }

PathString TemporaryPath(const PathString& path) { return path + kTemporarySuffix; }

void Load(AudioConfigRecord& record, FileApi& files, const PathString& path) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  record.AssignFileBytes(ReadWholeFile(files, path));
}

void Save(AudioConfigRecord& record, FileApi& files, const PathString& path,
          const std::array<int, 4>& levels) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  // "audio_cfg.db.", a short name and AUDIO_CFG.DB typed in lower case all mean audio_cfg.db,
  // and so must their backups.
  PathString canonical = files.CanonicalPath(path);
  if (NameLength(BackupPath(canonical)) > kMaxNameLength) throw EInOutError(kInOutBackupNameTooLong);
  // A second window saving the same file waits for this one, then finds the file changed.
  const std::unique_ptr<SaveLock> lock = files.LockSave(canonical);
  PathString target;
  const std::unique_ptr<OpenedFile> original = files.OpenForSaving(path, canonical, target);
  const PathString backup = BackupPath(canonical);
  files.CheckBackup(backup);
  if (NameLength(TemporaryPath(target)) > kMaxNameLength) throw EInOutError(kInOutBackupNameTooLong);
  // A file gone since it was opened is written again; one that changed is not overwritten.
  if (original && !HoldsExactly(*original, record.FileBytes())) throw EInOutError(kInOutFileChanged);

  // The backup is complete before the file is touched.
  WriteThroughTemporary(files, TemporaryPath(canonical), record.FileBytes(),
                        [&](const PathString& temporary) { files.ReplaceBackup(temporary, backup); });
  files.CheckReplaceable(target, original.get());
  AudioConfigRecord saved = record;
  saved.WriteLevels(levels);
  WriteThroughTemporary(files, TemporaryPath(target), saved.FileBytes(), [&](const PathString& temporary) {
    files.ReplaceTarget(temporary, target, original.get());
  });
  record = std::move(saved);
}
