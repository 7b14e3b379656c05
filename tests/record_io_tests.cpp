#include "record_test_support.h"

namespace {

const std::array<int, 4> kNewLevels{1, 2, 3, 4};

class RecordIoTest : public ::testing::Test {
 protected:
  int LoadFrom(const fs::path& path) {
    return CodeOf([&] { Load(record_, DefaultFileApi(), path.native()); });
  }
  int SaveTo(const fs::path& path, const std::array<int, 4>& levels) {
    return CodeOf([&] { Save(record_, DefaultFileApi(), path.native(), levels); });
  }
  static fs::path BackupOf(const fs::path& path) { return BackupPath(path.native()); }

  TempDir dir_;
  AudioConfigRecord record_;
};

}  // namespace

TEST_F(RecordIoTest, FileSizesAreLoadedWholeOrRefused) {
  const struct {
    std::uint64_t size;
    int code;
  } cases[] = {
      {0, kInOutFileEmpty}, {1, kInOutFileTooShort}, {kRecordSize - 1, kInOutFileTooShort},  {kRecordSize, 0},
      {kRecordSize + 1, 0}, {64 * 1024, 0},          {kMaxFileSize + 1, kInOutFileTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const fs::path file = dir_ / ("size" + std::to_string(c.size) + ".db");
    const Bytes original = c.size > 64 * 1024 ? Bytes{} : Pattern(c.size, 1);
    WriteBytes(file, original);
    if (c.size > original.size()) fs::resize_file(file, c.size);  // Sparse: costs no disk.
    record_.AssignFileBytes(Pattern(kRecordSize, 9));
    const Bytes previous = ImageOf(record_);

    ASSERT_EQ(LoadFrom(file), c.code);
    if (c.code != 0) {
      EXPECT_EQ(ImageOf(record_), previous);
      continue;
    }
    EXPECT_EQ(ImageOf(record_), original);
    // Bytes past the record reach both files again.
    ASSERT_EQ(SaveTo(file, kNewLevels), 0);
    EXPECT_EQ(ReadBytes(BackupOf(file)), original);
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ImageOf(record_), WithLevels(original, kNewLevels));
  }
}

TEST_F(RecordIoTest, SavingTheLoadedLevelsWritesBothFilesUnchanged) {
  const fs::path file = dir_ / "audio_cfg.db";
  const Bytes original = WithLevels(Pattern(kRecordSize, 2), {3, 5, 1, 6});
  WriteBytes(file, original);
  ASSERT_EQ(LoadFrom(file), 0);
  ASSERT_EQ(SaveTo(file, {3, 5, 1, 6}), 0);
  EXPECT_EQ(ReadBytes(file), original);
  EXPECT_EQ(ReadBytes(BackupOf(file)), original);
}

TEST_F(RecordIoTest, BackupAppendsBakAndHoldsThePreviousSave) {
  const fs::path file = dir_ / "x.txt";
  const Bytes original = Pattern(kRecordSize, 4);
  WriteBytes(file, original);
  ASSERT_EQ(LoadFrom(file), 0);
  ASSERT_EQ(SaveTo(file, kNewLevels), 0);
  ASSERT_EQ(SaveTo(file, {6, 5, 4, 3}), 0);
  EXPECT_EQ(ReadBytes(file), WithLevels(original, {6, 5, 4, 3}));
  EXPECT_EQ(ReadBytes(dir_ / "x.txt.bak"), WithLevels(original, kNewLevels));
  // Nothing else is left behind: no x.bak, no temporary file.
  EXPECT_EQ(NamesIn(dir_.Path()), (std::vector<std::string>{"x.txt", "x.txt.bak"}));
}

TEST_F(RecordIoTest, UnicodeAndLongPathsWork) {
  const fs::path cases[] = {
      dir_ / fs::path(u8"аудио_конфиг.db"),
      dir_ / std::string(100, 'a') / std::string(100, 'b') / std::string(60, 'c') / "audio_cfg.db",
  };
  EXPECT_GT(cases[1].native().size(), 260u);
  for (const fs::path& file : cases) {
    SCOPED_TRACE(Utf8(file));
    fs::create_directories(file.parent_path());
    const Bytes original = Pattern(kRecordSize, 6);
    WriteBytes(file, original);
    ASSERT_EQ(LoadFrom(file), 0);
    ASSERT_EQ(SaveTo(file, kNewLevels), 0);
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(BackupOf(file)), original);
  }
}

TEST_F(RecordIoTest, RefusalsChangeNeitherImageNorFiles) {
  const fs::path file = dir_ / "audio_cfg.db";
  WriteBytes(file, Pattern(kRecordSize, 3));
  fs::create_directory(dir_ / "folder.db");
  const struct {
    const char* what;
    fs::path path;
    bool save;
    int code;
  } cases[] = {
      {"missing file", dir_ / "missing.db", false, kInOutFileNotFound},
      {"missing folder", dir_ / "nowhere" / "audio_cfg.db", false, kInOutInvalidFilename},
      {"missing folder", dir_ / "nowhere" / "audio_cfg.db", true, kInOutInvalidFilename},
      {"file used as a folder", file / "audio_cfg.db", false, kInOutInvalidFilename},
      {"folder", dir_ / "folder.db", false, kInOutAccessDenied},
      {"empty path", fs::path(), false, kInOutEmptyPath},
      {"empty path", fs::path(), true, kInOutEmptyPath},
  };
  const auto names = NamesIn(dir_.Path());
  record_.AssignFileBytes(Pattern(kRecordSize, 8));
  // An empty name must not become ".bak" in the working folder, which is the temporary one.
  const ScopedCurrentFolder here(dir_.Path());
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.save ? " (save)" : " (load)"));
    EXPECT_EQ(c.save ? SaveTo(c.path, kNewLevels) : LoadFrom(c.path), c.code);
    EXPECT_EQ(ImageOf(record_), Pattern(kRecordSize, 8));
    EXPECT_EQ(NamesIn(dir_.Path()), names);
    EXPECT_EQ(ReadBytes(file), Pattern(kRecordSize, 3));
  }
}

TEST_F(RecordIoTest, ReadOnlyFileIsRefusedAfterTheBackupIsWritten) {
  const fs::path file = dir_ / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 5);
  WriteBytes(file, original);
  ASSERT_EQ(LoadFrom(file), 0);
  // As root this refuses nothing by itself: the save has to notice.
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(SaveTo(file, kNewLevels), kInOutAccessDenied);
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(ReadBytes(file), original);
  EXPECT_EQ(ReadBytes(BackupOf(file)), original);
  EXPECT_EQ(ImageOf(record_), original);
}
