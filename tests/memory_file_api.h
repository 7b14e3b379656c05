#pragma once
// A file system kept in memory, for the host tests of the record logic and for the loader's
// fuzzer. It keeps the promises the Win32 back-end keeps (names replaced as names, a missing
// folder is 3, a second save is 32) and can make any one or two calls fail, moving part of the
// bytes first as a real failing read or write does, with reads and writes in short pieces. A
// failed rename keeps its source, as a real one does; the back-end then removes it, or keeps
// it when it holds the only copy.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "record/record_io.h"

struct MemoryEntry {
  std::vector<std::uint8_t> bytes;
  bool read_only = false;  // also stands for hidden and system
  bool directory = false;
  bool written = false;  // written to and not flushed since
};

class MemoryFileApi final : public FileApi {
 public:
  static constexpr int kInjected = 9999;
  static constexpr int kNotFlushed = 9998;

  // Names are "folder/name"; a path's folder must be listed here.
  std::vector<PathString> folders{L"d"};
  // Two names sharing one entry are hard links.
  std::map<PathString, std::shared_ptr<MemoryEntry>> entries;
  // Symbolic links: name to the path they lead to.
  std::map<PathString, PathString> links;

  int fail_at = 0;                  // the call that fails with kInjected; 0 for none
  int fail_again_at = 0;            // a second one, or 0
  std::size_t chunk = SIZE_MAX;     // the most one read or write moves
  std::int64_t size_error = 0;      // added to every size reported
  std::vector<std::string> calls;   // every call so far, by name
  bool save_under_way = false;      // another program's save holds the lock
  bool replace_takes_file = false;  // a failing replace has taken the file away first

  void Put(const PathString& path, const std::vector<std::uint8_t>& bytes) {
    entries[path] = std::make_shared<MemoryEntry>(MemoryEntry{bytes});
  }
  const std::vector<std::uint8_t>& Bytes(const PathString& path) const { return entries.at(path)->bytes; }
  std::vector<PathString> Names() const {
    std::vector<PathString> names;
    for (const auto& entry : entries) names.push_back(entry.first);
    for (const auto& link : links) names.push_back(link.first);
    std::sort(names.begin(), names.end());
    return names;
  }

  // Counts the call; true when it is the one to fail.
  bool Due(const char* name) {
    calls.push_back(name);
    const int call = static_cast<int>(calls.size());
    return call == fail_at || call == fail_again_at;
  }
  void Call(const char* name) {
    if (Due(name)) throw EInOutError(kInjected);
  }

  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    Call("open");
    return std::make_unique<File>(*this, Existing(path));
  }
  SaveHold OpenForSaving(const PathString& path) override {
    Call("open for saving");
    SaveHold hold;
    hold.name = path;
    const auto link = links.find(path);
    hold.target = link == links.end() ? path : link->second;
    if (!entries.count(hold.target)) {
      if (link != links.end()) throw EInOutError(kInOutBrokenLink);
      FolderOf(hold.target);
      hold.lock = TakeLock();
      return hold;
    }
    const std::shared_ptr<MemoryEntry> entry = Existing(hold.target);
    const auto names =
        std::count_if(entries.begin(), entries.end(), [&](const auto& e) { return e.second == entry; });
    if (names > 1) throw EInOutError(kInOutHardLinked);
    hold.lock = TakeLock();
    auto file = std::make_unique<File>(*this, entry);
    file->refused = entry->read_only;
    hold.file = std::move(file);
    return hold;
  }
  void CheckBackup(const PathString& backup) override {
    Call("check backup");
    FolderOf(backup);
    const auto old_backup = entries.find(backup);
    if (old_backup != entries.end() && (old_backup->second->directory || old_backup->second->read_only)) {
      throw EInOutError(kInOutBackupProtected);
    }
  }
  void CheckReplaceable(const SaveHold& hold) override {
    Call("check");
    if (hold.file && static_cast<File*>(hold.file.get())->refused) throw EInOutError(kInOutAccessDenied);
  }
  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& beside, PathString& path) override {
    Call("create");
    FolderOf(beside);
    for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
      path = TemporaryPath(beside, attempt);
      if (entries.count(path) || links.count(path)) continue;  // never taken over
      Put(path, {});
      return std::make_unique<File>(*this, entries[path]);
    }
    throw EInOutError(kInOutTemporaryNamesTaken);
  }
  void ReplaceBackup(const PathString& from, const PathString& to) override {
    Rename(Due("replace backup"), from, to);
  }
  void ReplaceTarget(const PathString& from, SaveHold& hold) override {
    if (!hold.file && entries.count(hold.target)) {
      entries.erase(from);
      throw EInOutError(kInOutFileChanged);
    }
    const bool fail = Due("replace");
    if (fail && replace_takes_file) {
      // As ReplaceFileW's 1176: the file is gone from its name and the new record is only in the
      // temporary, which is moved in or, when that fails too, kept.
      entries.erase(hold.target);
      Rename(false, from, hold.target, Due("move in"));
      return;
    }
    Rename(fail, from, hold.target);
  }
  void Remove(const PathString& path) override {
    Call("remove");
    entries.erase(path);
  }

 private:
  class Lock final : public SaveLock {
   public:
    explicit Lock(bool& held) : held_(held) { held_ = true; }
    ~Lock() override { held_ = false; }

   private:
    bool& held_;
  };

  class File final : public OpenedFile {
   public:
    File(MemoryFileApi& files, std::shared_ptr<MemoryEntry> entry)
        : files_(files), entry_(std::move(entry)) {}

    std::uint64_t Size() override {
      files_.Call("size");
      const auto size = static_cast<std::int64_t>(entry_->bytes.size()) + files_.size_error;
      return static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0));
    }
    std::size_t Read(void* buffer, std::size_t count) override {
      const bool fail = files_.Due("read");
      const std::size_t got = std::min({Limit(count, fail), entry_->bytes.size() - position_});
      if (got > 0) std::memcpy(buffer, entry_->bytes.data() + position_, got);
      position_ += got;
      if (fail) throw EInOutError(kInjected);
      return got;
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
      const bool fail = files_.Due("write");
      const auto* bytes = static_cast<const std::uint8_t*>(buffer);
      entry_->bytes.insert(entry_->bytes.end(), bytes, bytes + Limit(count, fail));
      entry_->written = true;
      if (fail) throw EInOutError(kInjected);
      return Limit(count, fail);
    }
    void Flush() override {
      files_.Call("flush");
      entry_->written = false;
    }
    void Close() override { files_.Call("close"); }

    bool refused = false;

   private:
    // A failing read or write still moves part of the bytes.
    std::size_t Limit(std::size_t count, bool fail) const {
      return std::min(count, fail ? std::min<std::size_t>(files_.chunk, 100) : files_.chunk);
    }

    MemoryFileApi& files_;
    std::shared_ptr<MemoryEntry> entry_;
    std::size_t position_ = 0;
  };

  std::unique_ptr<SaveLock> TakeLock() {
    Call("lock");
    if (save_under_way) throw EInOutError(kInOutSharingViolation);
    return std::make_unique<Lock>(save_under_way);
  }
  void FolderOf(const PathString& path) const {
    const PathString folder = path.substr(0, path.find_last_of('/'));
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      throw EInOutError(kInOutInvalidFilename);
    }
  }
  std::shared_ptr<MemoryEntry> Existing(const PathString& path) const {
    const auto found = entries.find(path);
    if (found == entries.end()) {
      FolderOf(path);
      throw EInOutError(kInOutFileNotFound);
    }
    if (found->second->directory) throw EInOutError(kInOutAccessDenied);
    return found->second;
  }
  // A failed rename keeps its source, which the back-end removes unless told to keep it (or
  // its removal fails).
  void Rename(bool fail, const PathString& from, const PathString& to, bool failKeepingSource = false) {
    if (failKeepingSource) throw EInOutError(kInjected);
    if (fail) {
      if (!Due("remove")) entries.erase(from);
      throw EInOutError(kInjected);
    }
    // Each folder stands for a volume: no rename crosses one (ERROR_NOT_SAME_DEVICE).
    if (from.substr(0, from.find_last_of('/')) != to.substr(0, to.find_last_of('/'))) throw EInOutError(17);
    // A rename may reach the disk before the data it names: only flushed data is put in place.
    if (entries.at(from)->written) throw EInOutError(kNotFlushed);
    entries[to] = entries.at(from);
    entries.erase(from);
  }
};
