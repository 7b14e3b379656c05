#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <utility>
#include <vector>

#include "record/file_api.h"
#include "record/in_out_error.h"
#include "system/unique_any.h"

namespace {

using Descriptor = UniqueAny<HandlePolicy<int, close, -1>>;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return stat(FolderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Maps errno onto the named rows the way Windows reports the same conditions.
[[noreturn]] void ThrowErrno(int error, const std::string& path = std::string()) {
  switch (error) {
    case ENOENT:
      throw EInOutError(FolderExists(path) ? kInOutFileNotFound : kInOutInvalidFilename);
    case ENOTDIR:
      throw EInOutError(kInOutInvalidFilename);
    case EMFILE:
    case ENFILE:
      throw EInOutError(kInOutTooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      throw EInOutError(kInOutAccessDenied);
    default:
      // Plain errno values 2 to 5 (EIO is one) must not borrow the named rows' messages.
      throw EInOutError(error, InOutOtherMessage(error));
  }
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Takes the lock that keeps two saves of one file apart; true when another save holds it. A
// file system without locks (some network ones) cannot keep them apart, and is used as it is.
bool LockedByAnotherSave(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return true;
    if (errno != EINTR) return false;
  }
  return false;
}

void SyncFolder(int folder, const std::string& path) {
  while (fsync(folder) != 0) {
    // Some file systems cannot flush a folder; they have nothing to flush either.
    if (errno == EINVAL || errno == ENOTSUP) break;
    if (errno != EINTR) ThrowErrno(errno, path);
  }
}

// What a process is asked for once, not on every save: a save changes none of them.
struct Process {
  Process() : creation_mask(umask(0)), user(geteuid()), group(getegid()) { umask(creation_mask); }
  mode_t creation_mask;
  uid_t user;
  gid_t group;
};

// Errors of an open file never depend on its name, so it keeps none. A file opened for a save
// also carries what the replacement must keep, and the folder that its renames flush.
class PosixFile final : public OpenedFile {
 public:
  PosixFile(Descriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

  std::uint64_t Size() override { return size_; }

  std::size_t Read(void* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t got = read(fd_.get(), buffer, count);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) ThrowErrno(errno);
    }
  }

  std::size_t Write(const void* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t put = write(fd_.get(), buffer, count);
      if (put > 0) return static_cast<std::size_t>(put);
      if (put == 0) ThrowErrno(ENOSPC);
      if (errno != EINTR) ThrowErrno(errno);
    }
  }

  void Flush() override {
    while (fsync(fd_.get()) != 0) {
      if (errno != EINTR) ThrowErrno(errno);
    }
  }

  // Linux releases the descriptor even when close fails, so it is never retried.
  void Close() override {
    if (!fd_) return;
    if (close(fd_.release()) != 0 && errno != EINTR) ThrowErrno(errno);
  }

  int Fd() const { return fd_.get(); }
  void SetSize(std::uint64_t size) { size_ = size; }

  struct stat status {};
  int refusal = 0;                    // why the file may not be replaced, once its backup is written
  bool backup_is_this_file = false;   // left so by a save that stopped after its backup
  std::vector<char> attribute_names;  // flistxattr's list: names ending in '\0'
  std::string folder_path;
  Descriptor folder;

 private:
  Descriptor fd_;
  std::uint64_t size_;
};

// The link's target, relative to the link's folder where it is relative.
std::string FollowLink(const std::string& link) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t used = readlink(link.c_str(), &target[0], target.size());
    // Not a link after all: the loop of links was further up the path.
    if (used < 0) ThrowErrno(errno == EINVAL ? ELOOP : errno, link);
    if (static_cast<std::size_t>(used) < target.size()) {
      target.resize(static_cast<std::size_t>(used));
      break;
    }
    target.resize(target.size() * 2);
  }
  return target[0] == '/' ? target : FolderOf(link) + "/" + target;
}

std::vector<char> AttributeNames(int fd) {
  std::vector<char> names(256);
  for (;;) {
    const ssize_t used = flistxattr(fd, names.data(), names.size());
    if (used >= 0) {
      names.resize(static_cast<std::size_t>(used));
      return names;
    }
    if (errno == ENOTSUP) return {};
    if (errno != ERANGE) ThrowErrno(errno);
    const ssize_t needed = flistxattr(fd, nullptr, 0);
    if (needed < 0) ThrowErrno(errno);
    names.resize(static_cast<std::size_t>(needed) + 1);
  }
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The extended attributes of from, onto to. Those of the user must all arrive; system ones
// (security labels, ACLs the caller may not set) come along where permitted.
void CopyAttributes(const PosixFile& from, int to) {
  std::vector<char> value(256);
  for (std::size_t at = 0; at < from.attribute_names.size();) {
    const std::string name(&from.attribute_names[at]);
    at += name.size() + 1;
    ssize_t size;
    while ((size = fgetxattr(from.Fd(), name.c_str(), value.data(), value.size())) < 0 && errno == ERANGE) {
      const ssize_t needed = fgetxattr(from.Fd(), name.c_str(), nullptr, 0);
      if (needed < 0) ThrowErrno(errno);
      value.resize(static_cast<std::size_t>(needed) + 1);
    }
    if (size >= 0 && fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(size), 0) == 0)
      continue;
    if (errno == ENODATA) continue;  // removed since it was listed
    const bool may_be_refused = errno == EPERM || errno == EACCES || errno == ENOTSUP;
    if (StartsWith(name, "user.") || !may_be_refused) ThrowErrno(errno);
  }
}

class PosixFileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    Descriptor fd(OpenRetrying(path, O_RDONLY));
    if (!fd) ThrowErrno(errno, path);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) ThrowErrno(errno, path);
    if (S_ISDIR(st.st_mode)) ThrowErrno(EISDIR, path);
    return std::make_unique<PosixFile>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
  }

  PathString CanonicalPath(const PathString& path) override { return path; }

  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, const PathString& backup,
                                            PathString& target) override {
    // Opening for writing refuses what the mode bits do not say: immutable files, read-only
    // mounts, another owner's file. Nothing is written through it.
    std::string real = path;
    Descriptor fd;
    int refusal = 0;
    for (int links = 0; !fd; ++links) {
      fd.reset(OpenRetrying(real, O_RDWR | O_NOFOLLOW | O_NONBLOCK));
      if (fd) break;
      if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY) {
        // Refused only after the backup is written; it is still read and compared.
        refusal = errno;
        fd.reset(OpenRetrying(real, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
        if (!fd) ThrowErrno(refusal, real);
        break;
      }
      if (errno == ENOENT && FolderExists(real)) break;  // saved anew
      // The name is a link: the file it leads to is saved, and the link stays.
      if (errno != ELOOP || links == 40) ThrowErrno(errno, real);
      real = FollowLink(real);
    }
    CheckBackup(backup);
    target = real;
    if (!fd) return nullptr;

    if (LockedByAnotherSave(fd.get())) throw EInOutError(kInOutSharingViolation);
    auto file = std::make_unique<PosixFile>(std::move(fd), 0);
    file->refusal = refusal;
    struct stat& st = file->status;
    if (fstat(file->Fd(), &st) != 0) ThrowErrno(errno, real);
    if (!S_ISREG(st.st_mode)) ThrowErrno(EISDIR, real);
    // Root may write a file without write permission; the user marked it read-only all the same.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) file->refusal = EACCES;
    // The lock came after another save had already replaced the file: what it holds now is news.
    if (st.st_nlink == 0) throw EInOutError(kInOutFileChanged);
    file->backup_is_this_file = backup_.st_dev == st.st_dev && backup_.st_ino == st.st_ino;
    if (st.st_nlink > (file->backup_is_this_file ? 2u : 1u)) throw EInOutError(kInOutHardLinked);
    file->attribute_names = AttributeNames(file->Fd());
    file->SetSize(static_cast<std::uint64_t>(st.st_size));
    return file;
  }

  bool LinkBackup(OpenedFile& original, const PathString& target, const PathString& temporary,
                  const PathString& backup) override {
    auto* file = dynamic_cast<PosixFile*>(&original);
    // A file that will not be replaced keeps its only name; the backup is a copy.
    if (file == nullptr || file->refusal != 0) return false;
    if (file->backup_is_this_file) return true;
    for (int attempt = 0; link(target.c_str(), temporary.c_str()) != 0; ++attempt) {
      // FAT has no second names, and neither do links across file systems.
      if (errno == EPERM || errno == EXDEV || errno == EMLINK || errno == ENOTSUP) return false;
      // This save holds the file's lock, so no other save is using the name: a leftover.
      if (errno != EEXIST || attempt > 0) ThrowErrno(errno, temporary);
      Remove(temporary);
    }
    try {
      // The old file was written by someone else, maybe not yet to the disk.
      while (fdatasync(file->Fd()) != 0) {
        if (errno != EINTR) ThrowErrno(errno, target);
      }
      Replace(temporary, backup, file);
    } catch (...) {
      unlink(temporary.c_str());
      throw;
    }
    return true;
  }

  void CheckReplaceable(const PathString& target, OpenedFile* original) override {
    const auto* file = dynamic_cast<PosixFile*>(original);
    if (file != nullptr && file->refusal != 0) ThrowErrno(file->refusal, target);
  }

  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& path, OpenedFile* original) override {
    const auto* like = dynamic_cast<PosixFile*>(original);
    mode_t mode = like != nullptr ? like->status.st_mode & 07777 : 0666;
    // The copy of a read-only file is the backup; the next save must be able to replace it.
    if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) mode |= S_IWUSR;
    for (int attempt = 0;; ++attempt) {
      Descriptor fd(OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode));
      if (!fd) {
        if (errno != EEXIST) ThrowErrno(errno, path);
        if (attempt > 0) throw EInOutError(kInOutSharingViolation);
        // With the file's lock held no other save can be writing it; without a file to lock,
        // a save that is writing it holds the temporary's own lock.
        if (like == nullptr) {
          Descriptor other(OpenRetrying(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
          if (other && LockedByAnotherSave(other.get())) throw EInOutError(kInOutSharingViolation);
        }
        Remove(path);
        continue;
      }
      if (like == nullptr) {
        if (LockedByAnotherSave(fd.get())) throw EInOutError(kInOutSharingViolation);
      } else {
        try {
          TakeSettings(*like, fd.get(), mode);
        } catch (...) {
          unlink(path.c_str());
          throw;
        }
      }
      return std::make_unique<PosixFile>(std::move(fd), 0);
    }
  }

  void Replace(const PathString& from, const PathString& to, OpenedFile* original) override {
    if (rename(from.c_str(), to.c_str()) != 0) ThrowErrno(errno, to);
    // The rename itself lives in the folder; it is durable only once the folder is flushed.
    // A save's two renames usually share one folder, opened once.
    const std::string folder_path = FolderOf(to);
    auto* file = dynamic_cast<PosixFile*>(original);
    if (file != nullptr && file->folder && file->folder_path == folder_path) {
      SyncFolder(file->folder.get(), to);
      return;
    }
    Descriptor folder(OpenRetrying(folder_path, O_RDONLY | O_DIRECTORY));
    if (!folder) ThrowErrno(errno, to);
    SyncFolder(folder.get(), to);
    if (file != nullptr && !file->folder) {
      file->folder_path = folder_path;
      file->folder = std::move(folder);
    }
  }

  void Remove(const PathString& path) override {
    if (unlink(path.c_str()) != 0) ThrowErrno(errno, path);
  }

 private:
  // Refuses a backup that a save must not replace; a missing one is fine.
  void CheckBackup(const std::string& backup) {
    backup_ = {};
    if (stat(backup.c_str(), &backup_) != 0) {
      if (errno == ENOENT && FolderExists(backup)) return;
      ThrowErrno(errno, backup);
    }
    if (!S_ISREG(backup_.st_mode)) ThrowErrno(EISDIR, backup);
    if ((backup_.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) ThrowErrno(EACCES, backup);
  }

  // The replacement takes the original's owner, mode and extended attributes; the calls that
  // would change nothing are not made.
  void TakeSettings(const PosixFile& like, int fd, mode_t mode) const {
    const struct stat& st = like.status;
    bool owner_changed = false;
    if (st.st_uid != process_.user || st.st_gid != process_.group) {
      owner_changed = true;
      // Only root may give a file away; a group of the user's own still carries over.
      if (fchown(fd, st.st_uid, st.st_gid) != 0 && (errno != EPERM || fchown(fd, -1, st.st_gid) != 0) &&
          errno != EPERM) {
        ThrowErrno(errno);
      }
    }
    // open() applied the creation mask; a change of owner dropped set-user and set-group bits.
    if ((mode & process_.creation_mask) != 0 || (owner_changed && (mode & 06000) != 0)) {
      if (fchmod(fd, mode) != 0) ThrowErrno(errno);
    }
    CopyAttributes(like, fd);
  }

  const Process process_;
  struct stat backup_ {};
};

}  // namespace

FileApi& DefaultFileApi() {
  static PosixFileApi files;
  return files;
}
