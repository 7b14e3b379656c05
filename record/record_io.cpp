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

// Removes the temporary file unless it has become the target, so that no failure leaves one.
class TemporaryFile {
 public:
  TemporaryFile(FileApi& files, const PathString& target)
      : files_(files), file_(files.CreateTemporary(target, path_)) {}
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
    files_.Replace(path_, target);
    path_.clear();
  }

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

// The target is either left as it was or holds all of bytes; never a part of them.
void ReplaceFileContents(FileApi& files, const PathString& target, const std::vector<std::uint8_t>& bytes) {
  files.CheckReplaceable(target);
  TemporaryFile temporary(files, target);
  WriteAll(temporary.File(), bytes);
  temporary.File().Flush();
  temporary.File().Close();
  temporary.MoveOver(target);
}

}  // namespace

PathString BackupPath(const PathString& path) { return path + kBackupSuffix; }

void Load(AudioConfigRecord& record, FileApi& files, const PathString& path) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  record.AssignFileBytes(ReadWholeFile(files, path));
}

void Load(const PathString& path) { Load(TheRecord(), DefaultFileApi(), path); }

void Save(AudioConfigRecord& record, FileApi& files, const PathString& path,
          const std::array<int, 4>& levels) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  AudioConfigRecord saved = record;
  saved.WriteLevels(levels);
  ReplaceFileContents(files, BackupPath(path), record.FileBytes());
  ReplaceFileContents(files, path, saved.FileBytes());
  record = std::move(saved);
}

void Save(const PathString& path, const std::array<int, 4>& levels) {
  Save(TheRecord(), DefaultFileApi(), path, levels);
}
