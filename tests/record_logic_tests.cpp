// The record logic on a file system kept in memory: every call failing in turn, with reads and
// writes in short pieces, the sizes a file may have, and every refusal.
#include "memory_file_api.h"
#include "record_test_support.h"

namespace {

using Names = std::vector<PathString>;
const PathString kFile = "d/audio_cfg.db";
const PathString kBackup = "d/audio_cfg.db.bak";
const std::array<int, 4> kNewLevels{1, 2, 3, 4};
constexpr int kInjected = MemoryFileApi::kInjected;
constexpr std::size_t kWhole = SIZE_MAX;

// A file system holding file, and a record loaded from it.
struct Scene {
  explicit Scene(const Bytes& original, const PathString& path = kFile) {
    files.Put(path, original);
    EXPECT_EQ(LoadInto(record, files, path), 0);
    files.calls.clear();
  }
  MemoryFileApi files;
  AudioConfigRecord record;
};

}  // namespace

TEST(RecordLogicTest, LoadFailingAtAnyCallLeavesTheImageAsItWas) {
  const Bytes original = Pattern(kRecordSize + 700, 5);
  for (const std::size_t chunk : {kWhole, std::size_t{300}}) {
    for (int fail_at = 1;; ++fail_at) {
      ASSERT_LT(fail_at, 100);
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << ", failing call " << fail_at);
      MemoryFileApi files;
      files.Put(kFile, original);
      files.chunk = chunk;
      files.fail_at = fail_at;
      AudioConfigRecord record;
      record.AssignFileBytes(Pattern(kRecordSize, 42));
      const int code = LoadInto(record, files, kFile);
      if (code == 0) {  // every call has had its turn
        EXPECT_EQ(ImageOf(record), original);
        EXPECT_GT(files.calls.size(), chunk == kWhole ? 2u : 20u);
        break;
      }
      EXPECT_EQ(code, kInjected) << files.calls.back();
      EXPECT_EQ(ImageOf(record), Pattern(kRecordSize, 42)) << files.calls.back();
    }
  }
}

TEST(RecordLogicTest, SaveFailingAtAnyCallLeavesFileAndBackupWhole) {
  const Bytes original = Pattern(kRecordSize + 700, 5);
  const Bytes old_backup = Pattern(kRecordSize, 77);
  for (const bool deleted : {false, true}) {
    for (const std::size_t chunk : {kWhole, std::size_t{300}}) {
      for (int fail_at = 1;; ++fail_at) {
        ASSERT_LT(fail_at, 200);
        SCOPED_TRACE(testing::Message() << "deleted " << deleted << ", chunk " << chunk << ", failing call "
                                        << fail_at);
        Scene s(original);
        s.files.Put(kBackup, old_backup);
        if (deleted) s.files.entries.erase(kFile);  // a file deleted since it was opened is written anew
        s.files.chunk = chunk;
        s.files.fail_at = fail_at;
        const int code = SaveFrom(s.record, s.files, kFile, kNewLevels);
        // No temporary survives, and the file is whole or, deleted, still missing.
        EXPECT_EQ(s.files.Names(), (code == 0 || !deleted ? Names{kFile, kBackup} : Names{kBackup}));
        if (code == 0) {
          EXPECT_EQ(s.files.Bytes(kBackup), original);
          EXPECT_EQ(s.files.Bytes(kFile), WithLevels(original, kNewLevels));
          EXPECT_EQ(ImageOf(s.record), WithLevels(original, kNewLevels));
          break;
        }
        const std::string failed = s.files.calls.at(fail_at - 1);
        EXPECT_EQ(code, kInjected) << failed;
        EXPECT_EQ(ImageOf(s.record), original) << failed;
        if (!deleted) {
          EXPECT_EQ(s.files.Bytes(kFile), original) << failed;
        }
        // The backup is the old one until its replacement went through, then the whole new one.
        const auto done = s.files.calls.begin() + fail_at - 1;
        const bool replaced = std::count(s.files.calls.begin(), done, "replace backup") > 0;
        EXPECT_EQ(s.files.Bytes(kBackup), replaced ? original : old_backup) << failed;
        // Whatever the stop left, the lock included, the next save goes through.
        s.files.fail_at = 0;
        EXPECT_EQ(SaveFrom(s.record, s.files, kFile, kNewLevels), 0) << failed;
        EXPECT_EQ(s.files.Bytes(kFile), WithLevels(original, kNewLevels)) << failed;
      }
    }
  }
}

TEST(RecordLogicTest, FileSizesAreLoadedWholeOrRefused) {
  const struct {
    std::uint64_t size;
    int code;
  } cases[] = {
      {0, kInOutFileEmpty},     {1, kInOutFileTooShort},     {kRecordSize - 1, kInOutFileTooShort},
      {kRecordSize, 0},         {kRecordSize + 1, 0},        {kMaxFileSize, 0},
      {kMaxFileSize + 1, kInOutFileTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    // Past a few pages the size is only reported: the file then ends early, as a file being
    // cut short does, and what was read is the file.
    const Bytes original = Pattern(std::min<std::uint64_t>(c.size, 6000), 1);
    MemoryFileApi files;
    files.Put(kFile, original);
    files.size_error = static_cast<std::int64_t>(c.size - original.size());
    AudioConfigRecord record;
    record.AssignFileBytes(Pattern(kRecordSize, 9));
    ASSERT_EQ(LoadInto(record, files, kFile), c.code);
    if (c.code != 0) {
      EXPECT_EQ(ImageOf(record), Pattern(kRecordSize, 9));
      continue;
    }
    EXPECT_EQ(ImageOf(record), original);
    // Bytes past the record reach both files again.
    files.size_error = 0;
    ASSERT_EQ(SaveFrom(record, files, kFile, kNewLevels), 0);
    EXPECT_EQ(files.Bytes(kBackup), original);
    EXPECT_EQ(files.Bytes(kFile), WithLevels(original, kNewLevels));
  }
}

TEST(RecordLogicTest, EachSaveBacksUpThePreviousOneAndSameLevelsChangeNothing) {
  const Bytes original = WithLevels(Pattern(kRecordSize, 2), {3, 5, 1, 6});
  Scene s(original, "d/x.txt");
  ASSERT_EQ(SaveFrom(s.record, s.files, "d/x.txt", {3, 5, 1, 6}), 0);
  EXPECT_EQ(s.files.Bytes("d/x.txt"), original);
  EXPECT_EQ(s.files.Bytes("d/x.txt.bak"), original);
  ASSERT_EQ(SaveFrom(s.record, s.files, "d/x.txt", kNewLevels), 0);
  ASSERT_EQ(SaveFrom(s.record, s.files, "d/x.txt", {6, 5, 4, 3}), 0);
  EXPECT_EQ(s.files.Bytes("d/x.txt"), WithLevels(original, {6, 5, 4, 3}));
  EXPECT_EQ(s.files.Bytes("d/x.txt.bak"), WithLevels(original, kNewLevels));
  EXPECT_EQ(s.files.Names(), (Names{"d/x.txt", "d/x.txt.bak"}));
}

TEST(RecordLogicTest, RefusalsChangeNeitherImageNorFiles) {
  const Bytes original = Pattern(kRecordSize + 22, 3);
  const PathString long_name = "d/" + std::string(248, 'n') + ".db";  // 251: the longest a backup allows
  const struct {
    const char* what;
    std::function<void(MemoryFileApi&)> change;
    PathString path;
    bool save;
    int code;
  } cases[] = {
      {"missing file", nullptr, "d/missing.db", false, kInOutFileNotFound},
      {"missing folder", nullptr, "x/audio_cfg.db", false, kInOutInvalidFilename},
      {"missing folder", nullptr, "x/audio_cfg.db", true, kInOutInvalidFilename},
      {"folder", [](MemoryFileApi& f) { f.entries["d/f.db"] = std::make_shared<MemoryEntry>(MemoryEntry{{}, false, true}); },
       "d/f.db", false, kInOutAccessDenied},
      {"empty path", nullptr, "", false, kInOutEmptyPath},
      {"empty path", nullptr, "", true, kInOutEmptyPath},
      {"a byte rewritten", [](MemoryFileApi& f) { f.entries[kFile]->bytes[5000] ^= 0xFF; }, kFile, true,
       kInOutFileChanged},
      {"bytes appended", [](MemoryFileApi& f) { f.entries[kFile]->bytes.push_back(0x5A); }, kFile, true,
       kInOutFileChanged},
      {"bytes cut off", [](MemoryFileApi& f) { f.entries[kFile]->bytes.pop_back(); }, kFile, true, kInOutFileChanged},
      {"second name", [](MemoryFileApi& f) { f.entries["d/other.db"] = f.entries[kFile]; }, kFile, true,
       kInOutHardLinked},
      {"read-only backup", [](MemoryFileApi& f) { f.Put(kBackup, {1}), f.entries[kBackup]->read_only = true; },
       kFile, true, kInOutBackupProtected},
      {"folder at the backup",
       [](MemoryFileApi& f) { f.entries[kBackup] = std::make_shared<MemoryEntry>(MemoryEntry{{}, false, true}); },
       kFile, true, kInOutBackupProtected},
      {"link to a deleted file", [](MemoryFileApi& f) { f.links["d/link.db"] = "d/gone.db"; }, "d/link.db", true,
       kInOutBrokenLink},
      {"another save under way", [](MemoryFileApi& f) { f.save_under_way = true; }, kFile, true,
       kInOutSharingViolation},
      {"backup name too long", [&](MemoryFileApi& f) { f.Put("d/n" + long_name.substr(2), {}); },
       "d/n" + long_name.substr(2), true, kInOutBackupNameTooLong},
      {"temporary name too long",
       [&](MemoryFileApi& f) {
         f.Put("d/nnnn" + long_name.substr(2), f.Bytes(kFile));
         f.links["d/a.db"] = "d/nnnn" + long_name.substr(2);
       },
       "d/a.db", true,
       kInOutBackupNameTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.save ? " (save)" : " (load)"));
    Scene s(original);
    if (c.change) c.change(s.files);
    const Names names = s.files.Names();
    const Bytes on_disk = s.files.Bytes(kFile);
    EXPECT_EQ(c.save ? SaveFrom(s.record, s.files, c.path, kNewLevels) : LoadInto(s.record, s.files, c.path), c.code);
    EXPECT_EQ(ImageOf(s.record), original);
    EXPECT_EQ(s.files.Names(), names);
    EXPECT_EQ(s.files.Bytes(kFile), on_disk);
  }
  // The longest name whose backup name fits saves.
  Scene s(original, long_name);
  EXPECT_EQ(SaveFrom(s.record, s.files, long_name, kNewLevels), 0);
  EXPECT_EQ(s.files.Bytes(long_name + ".bak"), original);
}

TEST(RecordLogicTest, ReadOnlyFileIsRefusedAfterTheBackupIsWritten) {
  const Bytes original = Pattern(kRecordSize, 5);
  Scene s(original);
  s.files.entries[kFile]->read_only = true;
  EXPECT_EQ(SaveFrom(s.record, s.files, kFile, kNewLevels), kInOutAccessDenied);
  EXPECT_EQ(s.files.Bytes(kFile), original);
  EXPECT_EQ(s.files.Bytes(kBackup), original);
  EXPECT_EQ(ImageOf(s.record), original);
  EXPECT_EQ(s.files.Names(), (Names{kFile, kBackup}));
}

TEST(RecordLogicTest, TwoWindowsOnOneFileKeepTheFirstSave) {
  const Bytes original = Pattern(kRecordSize, 22);
  Scene s(original);
  AudioConfigRecord second;
  ASSERT_EQ(LoadInto(second, s.files, kFile), 0);
  ASSERT_EQ(SaveFrom(s.record, s.files, kFile, kNewLevels), 0);
  EXPECT_EQ(SaveFrom(second, s.files, kFile, {2, 2, 2, 2}), kInOutFileChanged);
  EXPECT_EQ(s.files.Bytes(kFile), WithLevels(original, kNewLevels));
  EXPECT_EQ(s.files.Bytes(kBackup), original);
  // Opened again, the second window saves.
  ASSERT_EQ(LoadInto(second, s.files, kFile), 0);
  EXPECT_EQ(SaveFrom(second, s.files, kFile, {2, 2, 2, 2}), 0);
  EXPECT_EQ(s.files.Bytes(kFile), WithLevels(original, {2, 2, 2, 2}));
  EXPECT_EQ(s.files.Bytes(kBackup), WithLevels(original, kNewLevels));
}

TEST(RecordLogicTest, ALinkedFileIsReplacedWhereItIsAndBackedUpBesideTheName) {
  const Bytes original = Pattern(kRecordSize, 28);
  MemoryFileApi files;
  files.folders.push_back("e");
  files.Put("e/real.db", original);
  files.links[kFile] = "e/real.db";
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, files, "e/real.db"), 0);
  ASSERT_EQ(SaveFrom(record, files, kFile, kNewLevels), 0);
  EXPECT_EQ(files.Bytes("e/real.db"), WithLevels(original, kNewLevels));
  EXPECT_EQ(files.Bytes(kBackup), original);
  EXPECT_EQ(files.Names(), (Names{kFile, kBackup, "e/real.db"}));
}
