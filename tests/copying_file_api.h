#pragma once
// The platform's file system, except that the backup is always written as a copy, as on a file
// system with no second names (FAT). Shared by the record tests and the Save benchmark.
#include "record/file_api.h"

class CopyingFileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    return real_.OpenForReading(path);
  }
  PathString CanonicalPath(const PathString& path) override { return real_.CanonicalPath(path); }
  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, const PathString& backup,
                                            PathString& target) override {
    return real_.OpenForSaving(path, backup, target);
  }
  bool LinkBackup(OpenedFile&, const PathString&, const PathString&, const PathString&) override {
    return false;
  }
  void CheckReplaceable(const PathString& target, OpenedFile* original) override {
    real_.CheckReplaceable(target, original);
  }
  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& path, OpenedFile* original) override {
    return real_.CreateTemporary(path, original);
  }
  void Replace(const PathString& from, const PathString& to, OpenedFile* original) override {
    real_.Replace(from, to, original);
  }
  void Remove(const PathString& path) override { real_.Remove(path); }

 private:
  FileApi& real_ = DefaultFileApi();
};
