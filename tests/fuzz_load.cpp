// libFuzzer target for the loader, through an in-memory file system: any content, reads that
// come back in any size, a reported size that disagrees with the content (a file changing
// while it is read) and a read that fails part-way. A successful load is saved back and both
// files are checked; a load that got only part of the file must not be saved over it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "record/record_io.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Plan {
  std::size_t chunk;
  std::int64_t size_error;
  int fail_read_at;
};

class MemoryFile final : public OpenedFile {
 public:
  MemoryFile(Bytes* bytes, const Plan& plan) : bytes_(bytes), plan_(plan) {}

  std::uint64_t Size() override {
    const std::int64_t size = static_cast<std::int64_t>(bytes_->size()) + plan_.size_error;
    return static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0));
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    if (++reads_ == plan_.fail_read_at) throw EInOutError(5);
    const std::size_t got = std::min({count, plan_.chunk, bytes_->size() - position_});
    if (got == 0) return 0;
    std::memcpy(buffer, bytes_->data() + position_, got);
    position_ += got;
    return got;
  }
  std::size_t Write(const void* buffer, std::size_t count) override {
    const std::size_t put = std::min(count, plan_.chunk);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    bytes_->insert(bytes_->end(), bytes, bytes + put);
    return put;
  }
  void Flush() override {}
  void Close() override {}

 private:
  Bytes* bytes_;
  Plan plan_;
  std::size_t position_ = 0;
  int reads_ = 0;
};

class MemoryFileApi final : public FileApi {
 public:
  explicit MemoryFileApi(const Plan& plan) : plan_(plan) {}

  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    const auto found = files.find(path);
    if (found == files.end()) throw EInOutError(kInOutFileNotFound);
    return std::make_unique<MemoryFile>(&found->second, plan_);
  }
  PathString CanonicalPath(const PathString& path) override { return path; }
  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, const PathString&,
                                            PathString& target) override {
    target = path;
    const auto found = files.find(path);
    if (found == files.end()) return nullptr;
    // Reads in whole for the comparison: the plan's odd sizes belong to the loading.
    return std::make_unique<MemoryFile>(&found->second, Plan{found->second.size() + 1, 0, 0});
  }
  bool LinkBackup(OpenedFile&, const PathString&, const PathString&, const PathString&) override {
    return false;
  }
  void CheckReplaceable(const PathString&, OpenedFile*) override {}
  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& path, OpenedFile*) override {
    return std::make_unique<MemoryFile>(&files[path], plan_);
  }
  void Replace(const PathString& from, const PathString& to, OpenedFile*) override {
    files[to] = std::move(files[from]);
    files.erase(from);
  }
  void Remove(const PathString& path) override { files.erase(path); }

  std::map<PathString, Bytes> files;

 private:
  Plan plan_;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const Plan plan{1 + data[0] * 37u, static_cast<std::int8_t>(data[1]) * 61, data[2] % 8};
  // Repeating the content reaches record-sized files from short inputs.
  Bytes content;
  for (int copy = 0; copy <= data[3] % 4; ++copy) content.insert(content.end(), data + 4, data + size);

  MemoryFileApi files(plan);
  files.files["audio_cfg.db"] = content;
  AudioConfigRecord record;
  const Bytes before(kRecordSize, 0xEE);
  record.AssignFileBytes(before);
  try {
    Load(record, files, "audio_cfg.db");
  } catch (const EInOutError&) {
    Check(record.FileBytes() == before);
    return 0;
  }
  // What was loaded is a prefix of the file: all of it, or as much as the reported size said.
  const Bytes& loaded = record.FileBytes();
  Check(loaded.size() >= kRecordSize && loaded.size() <= content.size());
  Check(std::equal(loaded.begin(), loaded.end(), content.begin()));
  Check(plan.size_error < 0 || loaded.size() == content.size());

  const Bytes image = loaded;
  const std::array<int, 4> levels{data[0], data[1], data[2], data[3]};
  if (image != content) {
    // Only part of the file was loaded: saving it would lose the rest, so it is refused.
    try {
      Save(record, files, "audio_cfg.db", levels);
      Check(false);
    } catch (const EInOutError& error) {
      Check(error.Code() == kInOutFileChanged);
    }
    Check(files.files["audio_cfg.db"] == content && files.files.size() == 1 && record.FileBytes() == image);
    return 0;
  }
  Save(record, files, "audio_cfg.db", levels);
  Bytes expected = image;
  for (std::size_t slot = 0; slot < 4; ++slot) expected[kLevelOffsets[slot]] = data[slot];
  Check(files.files["audio_cfg.db.bak"] == image);
  Check(files.files["audio_cfg.db"] == expected);
  Check(record.FileBytes() == expected);
  Check(files.files.size() == 2);
  return 0;
}
