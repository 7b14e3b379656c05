#include "record_test_support.h"

namespace {

constexpr int kInjected = 9999;
#ifdef _WIN32
constexpr bool kBackupLinks = false;  // Windows saves never link
#else
constexpr bool kBackupLinks = true;
#endif
constexpr std::size_t kShortChunk = 300;

// Passes every call through to the real file system, except that call number fail_at throws
// the way a real failure would: a failing read or write moves part of the bytes first, and a
// failing close still closes. With short_io every read and write moves only a few bytes.
class FaultyFileApi final : public FileApi {
 public:
  // Without links the backup is always written as a copy, as on FAT.
  FaultyFileApi(int fail_at, bool short_io, bool links = true)
      : fail_at_(fail_at), short_io_(short_io), links_(links) {}

  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    Call("open");
    return Wrap(real_.OpenForReading(path));
  }
  PathString CanonicalPath(const PathString& path) override {
    Call("canonical");
    return real_.CanonicalPath(path);
  }
  std::unique_ptr<OpenedFile> OpenForSaving(const PathString& path, const PathString& backup,
                                            PathString& target) override {
    Call("open for saving");
    return Wrap(real_.OpenForSaving(path, backup, target));
  }
  bool LinkBackup(OpenedFile& original, const PathString& target, const PathString& temporary,
                  const PathString& backup) override {
    Call("link backup");
    if (!links_) return false;
    const bool linked = real_.LinkBackup(*Real(&original), target, temporary, backup);
    if (linked) linked_after = static_cast<int>(calls.size());
    return linked;
  }
  void CheckReplaceable(const PathString& target, OpenedFile* original) override {
    Call("check");
    real_.CheckReplaceable(target, Real(original));
  }
  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& path, OpenedFile* original) override {
    Call("create");
    return Wrap(real_.CreateTemporary(path, Real(original)));
  }
  void Replace(const PathString& from, const PathString& to, OpenedFile* original) override {
    Call(EndsWith(to, BackupPath(PathString())) ? "replace backup" : "replace");
    real_.Replace(from, to, Real(original));
  }
  void Remove(const PathString& path) override {
    Call("remove");
    real_.Remove(path);
  }

  bool Due(const char* name) {
    calls.push_back(name);
    return static_cast<int>(calls.size()) == fail_at_;
  }
  void Call(const char* name) {
    if (Due(name)) throw EInOutError(kInjected);
  }
  bool ShortIo() const { return short_io_; }

  std::vector<std::string> calls;
  int linked_after = 0;  // how many calls had been made when the backup became a link

 private:
  static bool EndsWith(const PathString& text, const PathString& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
  }
  std::unique_ptr<OpenedFile> Wrap(std::unique_ptr<OpenedFile> file);
  static OpenedFile* Real(OpenedFile* file);

  FileApi& real_ = DefaultFileApi();
  int fail_at_;
  bool short_io_;
  bool links_;
};

class FaultyFile final : public OpenedFile {
 public:
  FaultyFile(FaultyFileApi& api, std::unique_ptr<OpenedFile> real) : api_(api), real_(std::move(real)) {}

  std::uint64_t Size() override {
    api_.Call("size");
    return real_->Size();
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    const bool fail = api_.Due("read");
    const std::size_t got = real_->Read(buffer, Limit(count, fail));
    if (fail) throw EInOutError(kInjected);
    return got;
  }
  std::size_t Write(const void* buffer, std::size_t count) override {
    const bool fail = api_.Due("write");
    const std::size_t put = real_->Write(buffer, Limit(count, fail));
    if (fail) throw EInOutError(kInjected);
    return put;
  }
  void Flush() override {
    api_.Call("flush");
    real_->Flush();
  }
  void Close() override {
    const bool fail = api_.Due("close");
    real_->Close();
    if (fail) throw EInOutError(kInjected);
  }

 private:
  std::size_t Limit(std::size_t count, bool fail) const {
    return fail || api_.ShortIo() ? std::min(count, kShortChunk) : count;
  }

  FaultyFileApi& api_;

 public:
  std::unique_ptr<OpenedFile> real_;
};

std::unique_ptr<OpenedFile> FaultyFileApi::Wrap(std::unique_ptr<OpenedFile> file) {
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(*this, std::move(file));
}

// The back-end finds what it learnt of the original in its own file, not in the wrapper.
OpenedFile* FaultyFileApi::Real(OpenedFile* file) {
  return file == nullptr ? nullptr : static_cast<FaultyFile*>(file)->real_.get();
}

constexpr int kMaxCalls = 200;

}  // namespace

TEST(RecordFaultTest, LoadFailingAtAnyCallLeavesTheImageAsItWas) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize + 700, 5);
  WriteBytes(file, original);
  for (const bool short_io : {false, true}) {
    for (int fail_at = 1;; ++fail_at) {
      ASSERT_LT(fail_at, kMaxCalls);
      SCOPED_TRACE(testing::Message() << "short_io " << short_io << ", failing call " << fail_at);
      AudioConfigRecord record;
      record.AssignFileBytes(Pattern(kRecordSize, 42));
      FaultyFileApi files(fail_at, short_io);
      const int code = CodeOf([&] { Load(record, files, file.native()); });
      if (code == 0) {  // Every call has had its turn.
        EXPECT_EQ(ImageOf(record), original);
        if (short_io) {
          EXPECT_GT(files.calls.size(), 10u);  // The reads really came in pieces.
        }
        break;
      }
      EXPECT_EQ(code, kInjected) << files.calls.at(fail_at - 1);
      EXPECT_EQ(ImageOf(record), Pattern(kRecordSize, 42)) << files.calls.at(fail_at - 1);
    }
  }
}

TEST(RecordFaultTest, SaveFailingAtAnyCallLeavesFileAndBackupWhole) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path backup = dir / "audio_cfg.db.bak";
  const Bytes original = Pattern(kRecordSize + 700, 5);
  const Bytes old_backup = Pattern(kRecordSize, 77);
  const std::array<int, 4> levels{1, 2, 3, 4};
  const std::vector<std::string> names{"audio_cfg.db", "audio_cfg.db.bak"};
  for (const bool links : {true, false}) {
    for (const bool short_io : {false, true}) {
      for (int fail_at = 1;; ++fail_at) {
        ASSERT_LT(fail_at, kMaxCalls);
        SCOPED_TRACE(testing::Message()
                     << "links " << links << ", short_io " << short_io << ", failing call " << fail_at);
        // A save that stopped after linking its backup leaves file and backup one file.
        fs::remove(file);
        fs::remove(backup);
        WriteBytes(file, original);
        WriteBytes(backup, old_backup);
        AudioConfigRecord record;
        Load(record, DefaultFileApi(), file.native());
        FaultyFileApi files(fail_at, short_io, links);
        const int code = CodeOf([&] { Save(record, files, file.native(), levels); });
        EXPECT_EQ(NamesIn(dir.Path()), names);  // No temporary file survives.
        if (code == 0) {
          EXPECT_EQ(ReadBytes(backup), original);
          EXPECT_EQ(ReadBytes(file), WithLevels(original, levels));
          EXPECT_EQ(ImageOf(record), WithLevels(original, levels));
          EXPECT_EQ(files.linked_after > 0, links && kBackupLinks);
          break;
        }
        const std::string failed = files.calls.at(fail_at - 1);
        EXPECT_EQ(code, kInjected) << failed;
        EXPECT_EQ(ImageOf(record), original) << failed;
        EXPECT_EQ(ReadBytes(file), original) << failed;
        // The backup is the old one until its replacement went through, then the whole new one.
        const auto done = files.calls.begin() + fail_at - 1;
        const bool replaced = std::count(files.calls.begin(), done, "replace backup") > 0 ||
                              (files.linked_after > 0 && files.linked_after < fail_at);
        EXPECT_EQ(ReadBytes(backup), replaced ? original : old_backup) << failed;
        // Whatever the stop left, the next save goes through.
        {
          EXPECT_EQ(CodeOf([&] { Save(record, DefaultFileApi(), file.native(), levels); }), 0) << failed;
          EXPECT_EQ(ReadBytes(backup), original) << failed;
          EXPECT_EQ(ReadBytes(file), WithLevels(original, levels)) << failed;
        }
      }
    }
  }
}

TEST(RecordFaultTest, SaveOfADeletedFileFailingAtAnyCallLeavesNoHalfFile) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path backup = dir / "audio_cfg.db.bak";
  const Bytes original = Pattern(kRecordSize, 6);
  const std::array<int, 4> levels{4, 3, 2, 1};
  for (int fail_at = 1;; ++fail_at) {
    ASSERT_LT(fail_at, kMaxCalls);
    SCOPED_TRACE(testing::Message() << "failing call " << fail_at);
    fs::remove(backup);
    WriteBytes(file, original);
    AudioConfigRecord record;
    Load(record, DefaultFileApi(), file.native());
    fs::remove(file);
    FaultyFileApi files(fail_at, false);
    const int code = CodeOf([&] { Save(record, files, file.native(), levels); });
    // Each name holds its whole record or does not exist; no temporary file survives.
    for (const std::string& name : NamesIn(dir.Path())) {
      ASSERT_TRUE(name == "audio_cfg.db" || name == "audio_cfg.db.bak") << name;
    }
    if (fs::exists(backup)) {
      EXPECT_EQ(ReadBytes(backup), original);
    }
    if (code == 0) {
      EXPECT_EQ(ReadBytes(file), WithLevels(original, levels));
      break;
    }
    EXPECT_EQ(code, kInjected) << files.calls.at(fail_at - 1);
    EXPECT_FALSE(fs::exists(file)) << files.calls.at(fail_at - 1);
    EXPECT_EQ(ImageOf(record), original);
  }
}
