#pragma once
// A file system kept in memory, for the host tests of the record logic and for the loader's
// fuzzer. It keeps the promises the Win32 back-end keeps (names replaced as names, a missing
// folder is 3, a second save is 32) and can make any one call fail, moving part of the bytes
// first as a real failing read or write does, with reads and writes in short pieces.
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
  std::vector<PathString> folders{"d"};
  // Two names sharing one entry are hard links.
  std::map<PathString, std::shared_ptr<MemoryEntry>> entries;
  // Symbolic links: name to the path they lead to.
  std::map<PathString, PathString> links;

  int fail_at = 0;                     // the call that fails with kInjected; 0 for none
  std::size_t chunk = SIZE_MAX;        // the most one read or write moves
  std::int64_t size_error = 0;         // added to every size reported
  std::vector<std::string> calls;      // every call so far, by name
  bool save_under_way = false;         // another program's save holds the lock

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
    return static_cast<int>(calls.size()) == fail_at;
  }
  void Call(const char* name) {
    if (Due(name)) throw EInOutError(kInjected);
  }

  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    Call("open");
    return std::make_unique<File>(*this, Existing(path));
  }
  PathString CanonicalPath(const PathString& path) override {
    Call("canonical");
    return path;
  }
  std::unique_ptr<SaveLock> LockSave(const PathString&) override {
    Call("lock");
    if (save_under_way) throw EInOutError(kInOutSharingViolation);
    return std::make_unique<Lock>(save_under_way);
  }
  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, PathString&, PathString& target) override {
    Call("open for saving");
    const auto link = links.find(path);
    target = link == links.end() ? path : link->second;
    if (!entries.count(target)) {
      if (link != links.end()) throw EInOutError(kInOutBrokenLink);
      FolderOf(target);
      return nullptr;
    }
    const std::shared_ptr<MemoryEntry> entry = Existing(target);
    const auto names = std::count_if(entries.begin(), entries.end(), [&](const auto& e) { return e.second == entry; });
    if (names > 1) throw EInOutError(kInOutHardLinked);
    auto file = std::make_unique<File>(*this, entry);
    file->refused = entry->read_only;
    return file;
  }
  void CheckBackup(const PathString& backup) override {
    Call("check backup");
    FolderOf(backup);
    const auto old_backup = entries.find(backup);
    if (old_backup != entries.end() && (old_backup->second->directory || old_backup->second->read_only)) {
      throw EInOutError(kInOutBackupProtected);
    }
  }
  void CheckReplaceable(const PathString&, OpenedFile* original) override {
    Call("check");
    if (original != nullptr && static_cast<File*>(original)->refused) throw EInOutError(kInOutAccessDenied);
  }
  std::unique_ptr<OpenedFile> CreateTemporary(PathString& path) override {
    Call("create");
    FolderOf(path);
    Put(path, {});  // whatever stood there is replaced as a name
    return std::make_unique<File>(*this, entries[path]);
  }
  void ReplaceBackup(const PathString& from, const PathString& to) override {
    Rename("replace backup", from, to);
  }
  void ReplaceTarget(const PathString& from, const PathString& target, OpenedFile* original) override {
    if (original == nullptr && entries.count(target)) {
      entries.erase(from);
      throw EInOutError(kInOutFileChanged);
    }
    Rename("replace", from, target);
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
    File(MemoryFileApi& files, std::shared_ptr<MemoryEntry> entry) : files_(files), entry_(std::move(entry)) {}

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
  // A failed replace removes the temporary, as the back-end does.
  void Rename(const char* name, const PathString& from, const PathString& to) {
    if (Due(name)) {
      entries.erase(from);
      throw EInOutError(kInjected);
    }
    // A rename may reach the disk before the data it names: only flushed data is put in place.
    if (entries.at(from)->written) throw EInOutError(kNotFlushed);
    entries[to] = entries.at(from);
    entries.erase(from);
  }
};
