#include "record/record_io.h"

#include <cerrno>
#include <utility>
#include <vector>

namespace {

#ifdef _WIN32
constexpr int kDiskFull = 112;  // ERROR_DISK_FULL
#else
constexpr int kDiskFull = ENOSPC;
#endif

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
  TemporaryFile(FileApi& files, const PathString& path, OpenedFile* original)
      : files_(files), path_(path), original_(original), file_(files.CreateTemporary(path, original)) {}
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
  void MoveOver(const PathString& target) {
    files_.Replace(path_, target, original_);
    path_.clear();
  }

 private:
  FileApi& files_;
  PathString path_;
  OpenedFile* original_;
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

// The target is either left as it was or holds all of bytes; never a part of them.
void ReplaceFileContents(FileApi& files, const PathString& target, const PathString& temporary_path,
                         const std::vector<std::uint8_t>& bytes, OpenedFile* original) {
  TemporaryFile temporary(files, temporary_path, original);
  WriteAll(temporary.File(), bytes);
  temporary.File().Flush();
  temporary.File().Close();
  temporary.MoveOver(target);
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

void Load(const PathString& path) { Load(TheRecord(), DefaultFileApi(), path); }

void Save(AudioConfigRecord& record, FileApi& files, const PathString& path,
          const std::array<int, 4>& levels) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  // "audio_cfg.db." and a short name both mean audio_cfg.db, and so must their backups.
  const PathString canonical = files.CanonicalPath(path);
  const PathString backup = BackupPath(canonical);
  if (NameLength(backup) > kMaxNameLength) throw EInOutError(kInOutBackupNameTooLong);
  PathString target;
  const std::unique_ptr<OpenedFile> original = files.OpenForSaving(path, backup, target);
  if (NameLength(TemporaryPath(target)) > kMaxNameLength) throw EInOutError(kInOutBackupNameTooLong);
  // A file gone since it was opened is written again; one that changed is not overwritten.
  if (original && !HoldsExactly(*original, record.FileBytes())) throw EInOutError(kInOutFileChanged);

  // The file on disk is the image, so where it can, its old self becomes the backup.
  if (!original || !files.LinkBackup(*original, target, TemporaryPath(canonical), backup)) {
    ReplaceFileContents(files, backup, TemporaryPath(canonical), record.FileBytes(), original.get());
  }
  files.CheckReplaceable(target, original.get());
  AudioConfigRecord saved = record;
  saved.WriteLevels(levels);
  ReplaceFileContents(files, target, TemporaryPath(target), saved.FileBytes(), original.get());
  record = std::move(saved);
}

void Save(const PathString& path, const std::array<int, 4>& levels) {
  Save(TheRecord(), DefaultFileApi(), path, levels);
}
