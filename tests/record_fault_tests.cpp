#include "record_test_support.h"

namespace {

constexpr int kInjected = 9999;
constexpr std::size_t kShortChunk = 300;

// Passes every call through to the real file system, except that call number fail_at throws
// the way a real failure would: a failing read or write moves part of the bytes first, and a
// failing close still closes. With short_io every read and write moves only a few bytes.
class FaultyFileApi final : public FileApi {
 public:
  FaultyFileApi(int fail_at, bool short_io) : fail_at_(fail_at), short_io_(short_io) {}

  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    Call("open");
    return Wrap(real_.OpenForReading(path));
  }
  void CheckReplaceable(const PathString& path) override {
    Call("check");
    real_.CheckReplaceable(path);
  }
  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& target, PathString& path) override {
    Call("create");
    return Wrap(real_.CreateTemporary(target, path));
  }
  void Replace(const PathString& from, const PathString& to) override {
    Call(to == BackupPath(target_) ? "replace backup" : "replace");
    real_.Replace(from, to);
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

  PathString target_;
  std::vector<std::string> calls;

 private:
  std::unique_ptr<OpenedFile> Wrap(std::unique_ptr<OpenedFile> file);

  FileApi& real_ = DefaultFileApi();
  int fail_at_;
  bool short_io_;
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
  std::unique_ptr<OpenedFile> real_;
};

std::unique_ptr<OpenedFile> FaultyFileApi::Wrap(std::unique_ptr<OpenedFile> file) {
  return std::make_unique<FaultyFile>(*this, std::move(file));
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
  for (const bool short_io : {false, true}) {
    for (int fail_at = 1;; ++fail_at) {
      ASSERT_LT(fail_at, kMaxCalls);
      SCOPED_TRACE(testing::Message() << "short_io " << short_io << ", failing call " << fail_at);
      WriteBytes(file, original);
      WriteBytes(backup, old_backup);
      AudioConfigRecord record;
      Load(record, DefaultFileApi(), file.native());
      FaultyFileApi files(fail_at, short_io);
      files.target_ = file.native();
      const int code = CodeOf([&] { Save(record, files, file.native(), levels); });
      EXPECT_EQ(NamesIn(dir.Path()), names);  // No temporary file survives.
      if (code == 0) {
        EXPECT_EQ(ReadBytes(backup), original);
        EXPECT_EQ(ReadBytes(file), WithLevels(original, levels));
        EXPECT_EQ(ImageOf(record), WithLevels(original, levels));
        break;
      }
      const std::string failed = files.calls.at(fail_at - 1);
      EXPECT_EQ(code, kInjected) << failed;
      EXPECT_EQ(ImageOf(record), original) << failed;
      EXPECT_EQ(ReadBytes(file), original) << failed;
      // The backup is the old one until its replacement went through, then the whole new one.
      const bool replaced =
          std::count(files.calls.begin(), files.calls.begin() + fail_at - 1, "replace backup");
      EXPECT_EQ(ReadBytes(backup), replaced ? original : old_backup) << failed;
    }
  }
}
