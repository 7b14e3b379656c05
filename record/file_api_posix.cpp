#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <utility>

#include "record/file_api.h"
#include "record/in_out_error.h"

namespace {

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

// Owns one file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }

  int Get() const { return fd_; }
  // Linux releases the descriptor even when close fails, so it is never retried.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 ? 0 : close(fd);
  }

 private:
  int fd_;
};

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Errors of an open file never depend on its name, so it keeps none.
class PosixFile final : public OpenedFile {
 public:
  PosixFile(Descriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

  std::uint64_t Size() override { return size_; }

  std::size_t Read(void* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t got = read(fd_.Get(), buffer, count);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) ThrowErrno(errno);
    }
  }

  std::size_t Write(const void* buffer, std::size_t count) override {
    for (;;) {
      const ssize_t put = write(fd_.Get(), buffer, count);
      if (put > 0) return static_cast<std::size_t>(put);
      if (put == 0) ThrowErrno(ENOSPC);
      if (errno != EINTR) ThrowErrno(errno);
    }
  }

  void Flush() override {
    while (fsync(fd_.Get()) != 0) {
      if (errno != EINTR) ThrowErrno(errno);
    }
  }

  void Close() override {
    if (fd_.Close() != 0 && errno != EINTR) ThrowErrno(errno);
  }

 private:
  Descriptor fd_;
  std::uint64_t size_;
};

class PosixFileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    Descriptor fd(OpenRetrying(path, O_RDONLY));
    if (fd.Get() < 0) ThrowErrno(errno, path);
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0) ThrowErrno(errno, path);
    if (S_ISDIR(st.st_mode)) ThrowErrno(EISDIR, path);
    return std::make_unique<PosixFile>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
  }

  void CheckReplaceable(const PathString& path) override {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT && FolderExists(path)) return;
      ThrowErrno(errno, path);
    }
    if (!S_ISREG(st.st_mode)) ThrowErrno(EISDIR, path);
    // Root may write a file without write permission; the user marked it read-only all the same.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) ThrowErrno(EACCES, path);
    // Catches what the mode bits do not say: immutable files, read-only mounts, another owner.
    Descriptor probe(OpenRetrying(path, O_WRONLY | O_NONBLOCK));
    if (probe.Get() < 0) ThrowErrno(errno, path);
  }

  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& target, PathString& temporary_path) override {
    const std::string prefix = FolderOf(target) + "/.velmora-" + process_ + "-";
    for (int attempt = 0;; ++attempt) {
      std::string path = prefix + std::to_string(counter_++) + ".tmp";
      Descriptor fd(OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL, 0666));
      if (fd.Get() < 0) {
        if (errno == EEXIST && attempt < 100) continue;
        ThrowErrno(errno, target);
      }
      // A replaced file keeps its permissions.
      struct stat st {};
      if (stat(target.c_str(), &st) == 0 && fchmod(fd.Get(), st.st_mode & 07777) != 0) {
        const int error = errno;
        unlink(path.c_str());
        ThrowErrno(error, target);
      }
      temporary_path = std::move(path);
      return std::make_unique<PosixFile>(std::move(fd), 0);
    }
  }

  void Replace(const PathString& from, const PathString& to) override {
    if (rename(from.c_str(), to.c_str()) != 0) ThrowErrno(errno, to);
    // The rename itself lives in the folder; it is durable only once the folder is flushed.
    Descriptor folder(OpenRetrying(FolderOf(to), O_RDONLY | O_DIRECTORY));
    if (folder.Get() < 0) ThrowErrno(errno, to);
    while (fsync(folder.Get()) != 0) {
      // Some file systems cannot flush a folder; they have nothing to flush either.
      if (errno == EINVAL || errno == ENOTSUP) break;
      if (errno != EINTR) ThrowErrno(errno, to);
    }
  }

  void Remove(const PathString& path) override {
    if (unlink(path.c_str()) != 0) ThrowErrno(errno, path);
  }

 private:
  const std::string process_ = std::to_string(getpid());
  unsigned counter_ = 0;
};

}  // namespace

FileApi& DefaultFileApi() {
  static PosixFileApi files;
  return files;
}
