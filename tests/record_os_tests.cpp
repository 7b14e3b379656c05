// What only a real file system shows: a full disk, refusals root cannot override, share modes.
#include "record_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <sys/resource.h>
#endif

namespace {

const std::array<int, 4> kNewLevels{6, 5, 4, 3};

int LoadInto(AudioConfigRecord& record, const fs::path& path) {
  return CodeOf([&] { Load(record, DefaultFileApi(), path.native()); });
}

int SaveFrom(AudioConfigRecord& record, const fs::path& path) {
  return CodeOf([&] { Save(record, DefaultFileApi(), path.native(), kNewLevels); });
}

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

  // Each record file takes two pages; an old backup's pages come back when it is replaced.
  // Where the backup can be the old file under a second name, it takes no room at all.
  const struct {
    int pages_freed;
    bool backup_written;
    bool saved;
#ifdef _WIN32
  } steps[] = {{0, false, false}, {2, true, false}, {2, true, true}};
#else
  } steps[] = {{0, true, false}, {2, true, true}};
#endif
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << "backup written " << step.backup_written);
    for (int i = 0; i < step.pages_freed; ++i) {
      fs::remove(fillers.back());
      fillers.pop_back();
    }
    const int code = SaveFrom(record, file);
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
      EXPECT_EQ(code, kDiskFullCode);
      EXPECT_EQ(ReadBytes(file), original);
      EXPECT_EQ(ImageOf(record), original);
    }
  }
  for (const auto& entry : fs::directory_iterator(*disk)) fs::remove(entry.path());
}

TEST(RecordOsTest, ImmutableFileIsRefusedAndKeptAsItWas) {
  const auto folder = FixtureFolder("immutable");
  if (!folder) GTEST_SKIP() << "needs the immutable file that record_fixture.sh makes (chattr +i)";
  const fs::path file = *folder / "audio_cfg.db";
  const Bytes original = ReadBytes(file);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  EXPECT_EQ(SaveFrom(record, file), kInOutAccessDenied);
  EXPECT_EQ(ReadBytes(file), original);
  EXPECT_EQ(ReadBytes(BackupPath(file.native())), original);
  EXPECT_EQ(ImageOf(record), original);
  fs::remove(BackupPath(file.native()));
}

#ifdef _WIN32

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
  EXPECT_EQ(SaveFrom(record, file), ERROR_SHARING_VIOLATION);
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

TEST(RecordOsTest, HiddenAndSystemFilesAreNotReplaced) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 13);
  for (const DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    SCOPED_TRACE(attribute);
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), attribute));
    if (!(GetFileAttributesW(file.c_str()) & attribute)) {
      GTEST_SKIP() << "this file system keeps no such attribute";
    }
    EXPECT_EQ(SaveFrom(record, file), kInOutAccessDenied);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(file), original);
  }
}

#else

TEST(RecordOsTest, RunningOutOfDescriptorsIsTooManyOpenFiles) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  WriteBytes(file, Pattern(kRecordSize, 14));
  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old_limit), 0);
  rlimit low_limit = old_limit;
  low_limit.rlim_cur = 32;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low_limit), 0);
  std::vector<int> held;
  for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) held.push_back(fd);
  AudioConfigRecord record;
  const int code = LoadInto(record, file);
  for (const int fd : held) close(fd);
  setrlimit(RLIMIT_NOFILE, &old_limit);
  EXPECT_EQ(code, kInOutTooManyOpenFiles);
  EXPECT_EQ(ImageOf(record), Bytes(kRecordSize, 0));
}

#endif
