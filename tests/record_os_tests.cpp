// What only a real file system shows: a full disk, refusals root cannot override, share modes.
#include <windows.h>

#include "record_test_support.h"

namespace {

const VolumeLevels kNewLevels{6, 5, 4, 3};

class RecordFilesTest : public ::testing::Test {
 protected:
  int LoadInto(const fs::path& path) { return ::LoadInto(record_, path); }
  int SaveFrom(const fs::path& path, const VolumeLevels& levels = kNewLevels) {
    return ::SaveFrom(record_, path, levels);
  }
  static fs::path BackupOf(const fs::path& path) { return BackupPath(path.native()); }

  TempDir dir_;
  AudioConfigRecord record_;
};

}  // namespace

TEST(RecordOsTest, FullDiskLeavesBothFilesWhole) {
  const auto disk = FixtureFolder("small");
  if (!disk) GTEST_SKIP() << "needs the 64 KiB tmpfs that record_fixture.sh mounts (ctest, as root)";
  for (const auto& entry : fs::directory_iterator(*disk)) fs::remove(entry.path());
  const fs::path file = *disk / "audio_cfg.db";
  const fs::path backup = *disk / "audio_cfg.db.bak";
  const Bytes original = Pattern(kRecordSize, 11);
  WriteBytes(file, original);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);

  // Fill the disk with one-page files, so that removing some gives back exactly that room.
  std::vector<fs::path> fillers;
  const std::string page(4096, 'f');
  for (int i = 0; i < 64; ++i) {
    fillers.push_back(*disk / ("filler" + std::to_string(i)));
    std::ofstream out(fillers.back(), std::ios::binary);
    if (!out.write(page.data(), page.size()).flush()) break;
  }
  fs::remove(fillers.back());
  fillers.pop_back();

  // The backup takes two pages; the file is written in place and takes no more room.
  const struct {
    int pages_freed;
    bool backup_written;
    bool saved;
  } steps[] = {{0, false, false}, {2, true, true}};
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << "backup written " << step.backup_written);
    for (int i = 0; i < step.pages_freed; ++i) {
      fs::remove(fillers.back());
      fillers.pop_back();
    }
    const int code = SaveFrom(record, file, kNewLevels);
    std::vector<std::string> expected_names{"audio_cfg.db"};
    if (step.backup_written) expected_names.push_back("audio_cfg.db.bak");
    for (const auto& filler : fillers) expected_names.push_back(filler.filename().string());
    std::sort(expected_names.begin(), expected_names.end());
    EXPECT_EQ(NamesIn(*disk), expected_names);
    if (step.backup_written) {
      EXPECT_EQ(ReadBytes(backup), original);
    }
    if (step.saved) {
      EXPECT_EQ(code, 0);
      EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
      EXPECT_EQ(ImageOf(record), WithLevels(original, kNewLevels));
    } else {
      EXPECT_EQ(code, ERROR_DISK_FULL);
      EXPECT_EQ(ReadBytes(file), original);
      EXPECT_EQ(ImageOf(record), original);
    }
  }
  for (const auto& entry : fs::directory_iterator(*disk)) fs::remove(entry.path());
}

// A file nobody may write (chattr +i), and one that only its owner may, saved by another user
// (tests/as_another_user.sh): refused before anything is written.
TEST(RecordOsTest, FileTheUserMayNotWriteIsRefusedBeforeAnythingIsWritten) {
  std::vector<fs::path> files;
  if (const auto folder = FixtureFolder("immutable")) files.push_back(*folder / "audio_cfg.db");
  if (const char* foreign = std::getenv("VELMORA_FOREIGN_FILE")) files.push_back(HostPath(foreign));
  if (files.empty()) GTEST_SKIP() << "needs the file record_fixture.sh makes immutable (chattr +i)";
  for (const fs::path& file : files) {
    SCOPED_TRACE(Utf8(file));
    const Bytes original = ReadBytes(file);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    EXPECT_EQ(SaveFrom(record, file, kNewLevels), kInOutAccessDenied);
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(ImageOf(record), original);
    EXPECT_EQ(NamesIn(file.parent_path()), std::vector<std::string>{"audio_cfg.db"});
  }
}

TEST(RecordOsTest, FileHeldOpenForWritingFailsWithSharingViolation) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 12);
  WriteBytes(file, original);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);

  HANDLE writer = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(LoadInto(record, file), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(SaveFrom(record, file, kNewLevels), ERROR_SHARING_VIOLATION);
  CloseHandle(writer);
  EXPECT_EQ(ReadBytes(file), original);
  EXPECT_EQ(ImageOf(record), original);

  // Another reader that lets others read too is no obstacle to loading.
  HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(LoadInto(record, file), 0);
  CloseHandle(reader);
}

TEST(RecordOsTest, ProtectedFilesAndBackupsAreNotReplaced) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path backup = dir / "audio_cfg.db.bak";
  const Bytes original = Pattern(kRecordSize, 13);
  const struct {
    bool on_backup;
    DWORD attribute;
    int code;
  } cases[] = {
      {false, FILE_ATTRIBUTE_READONLY, kInOutAccessDenied},  // as root this refuses nothing by itself
      {false, FILE_ATTRIBUTE_HIDDEN, kInOutAccessDenied},
      {false, FILE_ATTRIBUTE_SYSTEM, kInOutAccessDenied},
      {true, FILE_ATTRIBUTE_READONLY, kInOutBackupProtected},
      {true, FILE_ATTRIBUTE_HIDDEN, kInOutBackupProtected},
      {true, FILE_ATTRIBUTE_DIRECTORY, kInOutBackupProtected},  // a folder at the backup's name
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.on_backup ? "backup " : "file ") << c.attribute);
    const fs::path& marked = c.on_backup ? backup : file;
    const bool folder = c.attribute == FILE_ATTRIBUTE_DIRECTORY;
    const Bytes old_backup = folder ? Bytes{} : Bytes{'o', 'l', 'd'};
    fs::remove_all(backup);
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    if (folder) {
      fs::create_directory(backup);
    } else {
      WriteBytes(backup, old_backup);
      ASSERT_TRUE(SetFileAttributesW(marked.c_str(), c.attribute));
      if (!(GetFileAttributesW(marked.c_str()) & c.attribute)) {
        GTEST_SKIP() << "this file system keeps no such attribute";
      }
    }
    EXPECT_EQ(SaveFrom(record, file, kNewLevels), c.code);
    if (!folder) SetFileAttributesW(marked.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(file), original);
    // A protected file still gets its backup first; a protected backup stops everything.
    EXPECT_EQ(fs::is_directory(backup) ? Bytes{} : ReadBytes(backup), c.on_backup ? old_backup : original);
    EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"audio_cfg.db", "audio_cfg.db.bak"}));
  }
}

TEST_F(RecordFilesTest, UnicodeAndLongPathsWork) {
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
    ASSERT_EQ(LoadInto(file), 0);
    ASSERT_EQ(SaveFrom(file, kNewLevels), 0);
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(BackupOf(file)), original);
  }
}

TEST_F(RecordFilesTest, RefusalsChangeNeitherImageNorFiles) {
  const fs::path file = dir_ / "audio_cfg.db";
  WriteBytes(file, Pattern(kRecordSize, 3));
  fs::create_directory(dir_ / "folder.db");
  fs::create_directory(dir_ / "audio_cfg.db.~b1");
  for (const fs::path& name :
       {dir_ / (std::string(252, 'n') + ".d"), dir_ / fs::path(std::wstring(125, L'\x044f') + L"nn")})
    WriteBytes(name, Pattern(kRecordSize, 8));
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
      {"folder at a temporary's name", file, true, kInOutTemporaryNameTaken},
      // The backup's name would pass the limit: 255 UTF-16 units on Windows, 255 bytes here.
      {"backup name too long", dir_ / (std::string(252, 'n') + ".d"), true, kInOutNameTooLong},
      {"backup name too long", dir_ / fs::path(std::wstring(125, L'\x044f') + L"nn"), true,
       kInOutNameTooLong},
  };
  const auto names = NamesIn(dir_.Path());
  record_.AssignFileBytes(Pattern(kRecordSize, 8));
  // An empty name must not become ".bak" in the working folder, which is the temporary one.
  const ScopedCurrentFolder here(dir_.Path());
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.save ? " (save)" : " (load)"));
    EXPECT_EQ(c.save ? SaveFrom(c.path, kNewLevels) : LoadInto(c.path), c.code);
    EXPECT_EQ(ImageOf(record_), Pattern(kRecordSize, 8));
    EXPECT_EQ(NamesIn(dir_.Path()), names);
    EXPECT_EQ(ReadBytes(file), Pattern(kRecordSize, 3));
  }
  // A pipe at the file's name is refused at once, by a load and by a save.
  if (const auto pipe = FixtureFolder("pipe")) {
    EXPECT_EQ(LoadInto(*pipe / "audio_cfg.db"), kInOutNotAFile);
    EXPECT_EQ(SaveFrom(*pipe / "audio_cfg.db"), kInOutNotAFile);
    EXPECT_EQ(NamesIn(*pipe), Names{"audio_cfg.db"});
  }
}

// Files of every size: loaded whole or refused; what lies past the record is kept by a save; a
// file changed since it was loaded is refused with nothing written.
TEST_F(RecordFilesTest, FilesAreLoadedWholeOrRefusedAndChangesAreNeverOverwritten) {
  const fs::path file = dir_ / "audio_cfg.db";
  const struct {
    std::uintmax_t size;
    int load;
    std::function<void()> change;  // between load and save
    int save;
  } cases[] = {
      {0, kInOutFileEmpty, nullptr, 0},
      {kRecordSize - 1, kInOutFileTooShort, nullptr, 0},
      {kRecordSize, 0, nullptr, 0},
      {kRecordSize + 7, 0, nullptr, 0},
      {(64u << 20) + 1, kInOutFileTooLarge, nullptr, 0},
      {kRecordSize, 0,
       [&] {
         WriteBytes(file, WithLevels(Pattern(kRecordSize, 2), {1, 1, 1, 1}));
       },
       kInOutFileChanged},
      {kRecordSize, 0, [&] { fs::resize_file(file, kRecordSize + 1); }, kInOutFileChanged},
      {kRecordSize + 1, 0, [&] { fs::resize_file(file, kRecordSize); }, kInOutFileChanged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    for (const auto& entry : fs::directory_iterator(dir_.Path())) fs::remove(entry.path());
    const Bytes original = Pattern(std::min<std::uintmax_t>(c.size, kRecordSize + 7), 2);
    WriteBytes(file, original);
    fs::resize_file(file, c.size);
    record_.AssignFileBytes(Pattern(kRecordSize, 9));
    ASSERT_EQ(LoadInto(file), c.load);
    if (c.load != 0) {
      EXPECT_EQ(ImageOf(record_), Pattern(kRecordSize, 9));
      continue;
    }
    const Bytes loaded = ReadBytes(file);
    EXPECT_EQ(ImageOf(record_), loaded);
    if (c.change) c.change();
    const Bytes on_disk = ReadBytes(file);
    ASSERT_EQ(SaveFrom(file), c.save);
    EXPECT_EQ(ReadBytes(file), c.save == 0 ? WithLevels(loaded, kNewLevels) : on_disk);
    EXPECT_EQ(NamesIn(dir_.Path()),
              c.save == 0 ? (Names{"audio_cfg.db", "audio_cfg.db.bak"}) : Names{"audio_cfg.db"});
    if (c.save == 0) {
      EXPECT_EQ(ReadBytes(BackupOf(file)), loaded);
    }
  }
}

// Another program's save holds the file's lock: this one waits a little, then says it is busy.
TEST_F(RecordFilesTest, AFileLockedByAnotherSaveIsBusy) {
  const fs::path file = dir_ / "audio_cfg.db";
  WriteBytes(file, Pattern(kRecordSize, 4));
  ASSERT_EQ(LoadInto(file), 0);
  HANDLE other = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  OVERLAPPED position{};
  position.Offset = 0x40000000;
  ASSERT_TRUE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &position));
  EXPECT_EQ(SaveFrom(file), kInOutSharingViolation);
  EXPECT_EQ(NamesIn(dir_.Path()), Names{"audio_cfg.db"});
  CloseHandle(other);
  EXPECT_EQ(SaveFrom(file), 0);
}
