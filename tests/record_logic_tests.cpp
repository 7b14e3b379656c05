// The record logic on a file system kept in memory: every call failing in turn, with reads and
// writes in short pieces, the sizes a file may have, and every refusal.
#include "memory_file_api.h"
#include "record_test_support.h"

namespace {

using Names = std::vector<PathString>;
const PathString kFile = L"d/audio_cfg.db";
const PathString kBackup = L"d/audio_cfg.db.bak";
const VolumeLevels kNewLevels{1, 2, 3, 4};
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

// One call failing, or two in a row (a failed rename and the removal after it), or a replace that
// took the file away before it failed: the record is never lost.
TEST(RecordLogicTest, SaveFailingAtAnyCallLeavesFileAndBackupWhole) {
  const Bytes original = Pattern(kRecordSize + 700, 5);
  const Bytes old_backup = Pattern(kRecordSize, 77);
  const Bytes saved = WithLevels(original, kNewLevels);
  for (const bool deleted : {false, true}) {
    for (const std::size_t chunk : {kWhole, std::size_t{300}}) {
      for (const int how : {0, 1, 2}) {  // one failure, two in a row, a replace that takes the file
        for (int fail_at = 1;; ++fail_at) {
          ASSERT_LT(fail_at, 200);
          SCOPED_TRACE(testing::Message() << "deleted " << deleted << ", chunk " << chunk << ", how " << how
                                          << ", failing call " << fail_at);
          Scene s(original);
          s.files.Put(kBackup, old_backup);
          if (deleted) s.files.entries.erase(kFile);  // a file deleted since it was opened is written anew
          s.files.chunk = chunk;
          s.files.fail_at = fail_at;
          s.files.fail_again_at = how == 0 ? 0 : fail_at + 1;
          s.files.replace_takes_file = how == 2;
          const int code = SaveFrom(s.record, s.files, kFile, kNewLevels);
          Names temporaries;
          for (const PathString& name : s.files.Names()) {
            if (name != kFile && name != kBackup) temporaries.push_back(name);
          }
          const bool there = s.files.entries.count(kFile) > 0;
          if (code == 0) {
            EXPECT_TRUE(temporaries.empty());
            EXPECT_EQ(s.files.Bytes(kBackup), original);
            EXPECT_EQ(s.files.Bytes(kFile), saved);
            EXPECT_EQ(ImageOf(s.record), saved);
            break;
          }
          const std::string failed = s.files.calls.at(fail_at - 1);
          EXPECT_EQ(code, kInjected) << failed;
          EXPECT_EQ(ImageOf(s.record), original) << failed;
          // The file is whole, or gone with the new record kept in the one temporary left; a
          // temporary is left otherwise only when its removal failed.
          if (there) {
            EXPECT_EQ(s.files.Bytes(kFile), original) << failed;
          } else if (!deleted) {
            ASSERT_EQ(temporaries.size(), 1u) << failed;
            EXPECT_EQ(s.files.Bytes(temporaries[0]), saved) << failed;
          }
          if (how == 0) {
            EXPECT_TRUE(temporaries.empty()) << failed;
          }
          // The backup is the old one until its replacement went through, then the whole new one.
          const auto done = s.files.calls.begin() + fail_at - 1;
          const bool replaced = std::count(s.files.calls.begin(), done, "replace backup") > 0;
          EXPECT_EQ(s.files.Bytes(kBackup), replaced ? original : old_backup) << failed;
          // Whatever the stop left, the lock included, the next save goes through.
          s.files.fail_at = s.files.fail_again_at = 0;
          s.files.replace_takes_file = false;
          EXPECT_EQ(SaveFrom(s.record, s.files, kFile, kNewLevels), 0) << failed;
          EXPECT_EQ(s.files.Bytes(kFile), saved) << failed;
        }
      }
    }
  }
}

TEST(RecordLogicTest, FileSizesAreLoadedWholeOrRefused) {
  const struct {
    std::uint64_t size;
    int code;
  } cases[] = {
      {0, kInOutFileEmpty}, {1, kInOutFileTooShort}, {kRecordSize - 1, kInOutFileTooShort},  {kRecordSize, 0},
      {kRecordSize + 1, 0}, {kMaxFileSize, 0},       {kMaxFileSize + 1, kInOutFileTooLarge},
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
  Scene s(original, L"d/x.txt");
  ASSERT_EQ(SaveFrom(s.record, s.files, L"d/x.txt", {3, 5, 1, 6}), 0);
  EXPECT_EQ(s.files.Bytes(L"d/x.txt"), original);
  EXPECT_EQ(s.files.Bytes(L"d/x.txt.bak"), original);
  ASSERT_EQ(SaveFrom(s.record, s.files, L"d/x.txt", kNewLevels), 0);
  ASSERT_EQ(SaveFrom(s.record, s.files, L"d/x.txt", {6, 5, 4, 3}), 0);
  EXPECT_EQ(s.files.Bytes(L"d/x.txt"), WithLevels(original, {6, 5, 4, 3}));
  EXPECT_EQ(s.files.Bytes(L"d/x.txt.bak"), WithLevels(original, kNewLevels));
  EXPECT_EQ(s.files.Names(), (Names{L"d/x.txt", L"d/x.txt.bak"}));
}

TEST(RecordLogicTest, RefusalsChangeNeitherImageNorFiles) {
  // Ends in a zero byte, which a check that ignored a short read would find in its own buffer.
  const Bytes original = Pattern(kRecordSize + 22, 25);
  const PathString long_name = L"d/" + std::wstring(248, L'n') + L".db";  // 251: the longest a backup allows
  const struct {
    const char* what;
    std::function<void(MemoryFileApi&)> change;
    PathString path;
    bool save;
    int code;
  } cases[] = {
      {"missing file", nullptr, L"d/missing.db", false, kInOutFileNotFound},
      {"missing folder", nullptr, L"x/audio_cfg.db", false, kInOutInvalidFilename},
      {"missing folder", nullptr, L"x/audio_cfg.db", true, kInOutInvalidFilename},
      {"folder",
       [](MemoryFileApi& f) {
         f.entries[L"d/f.db"] = std::make_shared<MemoryEntry>(MemoryEntry{{}, false, true});
       },
       L"d/f.db", false, kInOutAccessDenied},
      {"empty path", nullptr, L"", false, kInOutEmptyPath},
      {"cut short while loaded",
       [](MemoryFileApi& f) { f.entries[kFile]->bytes.resize(9), f.size_error = kRecordSize; }, kFile, false,
       kInOutFileTooShort},
      {"empty path", nullptr, L"", true, kInOutEmptyPath},
      {"a byte rewritten", [](MemoryFileApi& f) { f.entries[kFile]->bytes[5000] ^= 0xFF; }, kFile, true,
       kInOutFileChanged},
      {"bytes appended", [](MemoryFileApi& f) { f.entries[kFile]->bytes.push_back(0x5A); }, kFile, true,
       kInOutFileChanged},
      {"bytes cut off", [](MemoryFileApi& f) { f.entries[kFile]->bytes.pop_back(); }, kFile, true,
       kInOutFileChanged},
      {"cut short while checked",
       [](MemoryFileApi& f) {
         f.entries[kFile]->bytes.pop_back();
         f.size_error = 1;
       },
       kFile, true, kInOutFileChanged},
      {"second name", [](MemoryFileApi& f) { f.entries[L"d/other.db"] = f.entries[kFile]; }, kFile, true,
       kInOutHardLinked},
      {"read-only backup",
       [](MemoryFileApi& f) { f.Put(kBackup, {1}), f.entries[kBackup]->read_only = true; }, kFile, true,
       kInOutBackupProtected},
      {"folder at the backup",
       [](MemoryFileApi& f) {
         f.entries[kBackup] = std::make_shared<MemoryEntry>(MemoryEntry{{}, false, true});
       },
       kFile, true, kInOutBackupProtected},
      {"link to a deleted file", [](MemoryFileApi& f) { f.links[L"d/link.db"] = L"d/gone.db"; }, L"d/link.db",
       true, kInOutBrokenLink},
      {"another save under way", [](MemoryFileApi& f) { f.save_under_way = true; }, kFile, true,
       kInOutSharingViolation},
      {"backup name too long", [&](MemoryFileApi& f) { f.Put(L"d/n" + long_name.substr(2), {}); },
       L"d/n" + long_name.substr(2), true, kInOutBackupNameTooLong},
      {"temporary name too long",
       [&](MemoryFileApi& f) {
         f.Put(L"d/nnnn" + long_name.substr(2), f.Bytes(kFile));
         f.links[L"d/a.db"] = L"d/nnnn" + long_name.substr(2);
       },
       L"d/a.db", true, kInOutBackupNameTooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.save ? " (save)" : " (load)"));
    Scene s(original);
    if (c.change) c.change(s.files);
    const Names names = s.files.Names();
    const Bytes on_disk = s.files.Bytes(kFile);
    EXPECT_EQ(c.save ? SaveFrom(s.record, s.files, c.path, kNewLevels) : LoadInto(s.record, s.files, c.path),
              c.code);
    EXPECT_EQ(ImageOf(s.record), original);
    EXPECT_EQ(s.files.Names(), names);
    EXPECT_EQ(s.files.Bytes(kFile), on_disk);
  }
  // The longest name whose backup name fits saves.
  Scene s(original, long_name);
  EXPECT_EQ(SaveFrom(s.record, s.files, long_name, kNewLevels), 0);
  EXPECT_EQ(s.files.Bytes(long_name + L".bak"), original);
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
  files.folders.push_back(L"e");
  files.Put(L"e/real.db", original);
  files.links[kFile] = L"e/real.db";
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, files, L"e/real.db"), 0);
  ASSERT_EQ(SaveFrom(record, files, kFile, kNewLevels), 0);
  EXPECT_EQ(files.Bytes(L"e/real.db"), WithLevels(original, kNewLevels));
  EXPECT_EQ(files.Bytes(kBackup), original);
  EXPECT_EQ(files.Names(), (Names{kFile, kBackup, L"e/real.db"}));
}

TEST(RecordPathTest, NamesAreFormedFromTheTextAlone) {
  const struct {
    PathString full, extended;
  } cases[] = {
      {L"C:\\d\\audio_cfg.db", L"\\\\?\\C:\\d\\audio_cfg.db"},
      {L"C:\\d\\audio_cfg.db. .", L"\\\\?\\C:\\d\\audio_cfg.db"},  // Windows drops a trailing dot and space
      {L"C:\\d. \\a b", L"\\\\?\\C:\\d. \\a b"},                   // only the last name's
      {L"\\\\server\\share\\audio_cfg.db", L"\\\\?\\UNC\\server\\share\\audio_cfg.db"},
      {L"\\\\?\\C:\\d\\audio_cfg.db.", L"\\\\?\\C:\\d\\audio_cfg.db."},  // taken as it is
      {L"\\\\.\\C:\\d\\x", L"\\\\.\\C:\\d\\x"},
      {L"C:\\", L"\\\\?\\C:\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedPath(c.full), c.extended);
  EXPECT_EQ(NameStart(L"C:\\d/x.db"), 5u);
  EXPECT_EQ(NameStart(L"x.db"), 0u);
  EXPECT_EQ(BackupPath(L"d/a.txt"), L"d/a.txt.bak");
  EXPECT_EQ(TemporaryPath(L"d/a", 0), L"d/a.~vm");
  EXPECT_EQ(TemporaryPath(L"d/a", 1), L"d/a.~v0");
  EXPECT_EQ(TemporaryPath(L"d/a", kTemporaryNames - 1), L"d/a.~vz");
  // One lock a file, whatever its name; a new file's lock depends on its name.
  EXPECT_EQ(SaveLockName(0x56000000u, 0xa722faull), L"Local\\Velmora save 56000000-0000000000a722fa");
  EXPECT_NE(SaveLockName(1, 2, L"A.DB"), SaveLockName(1, 2, L"B.DB"));
  EXPECT_NE(SaveLockName(1, 2, L"A.DB"), SaveLockName(1, 2));
}
