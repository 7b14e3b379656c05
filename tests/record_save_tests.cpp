// What a save finds on disk: other writers, links, the file's own settings, odd names and
// leftovers of earlier saves.
#include "record_test_support.h"
#include "tests/copying_file_api.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#endif

namespace {

const std::array<int, 4> kNewLevels{6, 1, 6, 1};

int LoadInto(AudioConfigRecord& record, const fs::path& path) {
  return CodeOf([&] { Load(record, DefaultFileApi(), path.native()); });
}

int SaveFrom(AudioConfigRecord& record, const fs::path& path) {
  return CodeOf([&] { Save(record, DefaultFileApi(), path.native(), kNewLevels); });
}

fs::path TemporaryOf(const fs::path& path) { return TemporaryPath(path.native()); }

// Plays a second program in the middle of saving path, the way this program's own save holds
// a file: a lock on the file where there is one, else an open temporary file.
class OtherSave {
 public:
  explicit OtherSave(const fs::path& path) {
#ifdef _WIN32
    handle_ = CreateFileW(TemporaryOf(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(handle_, "half", 4, &written, nullptr);
#else
    const bool exists = fs::exists(path);
    const fs::path held = exists ? path : TemporaryOf(path);
    fd_ = open(held.c_str(), exists ? O_RDONLY : O_WRONLY | O_CREAT | O_EXCL, 0644);
    EXPECT_GE(fd_, 0);
    EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0);
    if (!exists) {
      EXPECT_EQ(write(fd_, "half", 4), 4);
    }
#endif
  }
  ~OtherSave() {
#ifdef _WIN32
    CloseHandle(handle_);
#else
    close(fd_);
#endif
  }
  OtherSave(const OtherSave&) = delete;
  OtherSave& operator=(const OtherSave&) = delete;

 private:
#ifdef _WIN32
  HANDLE handle_;
#else
  int fd_;
#endif
};

}  // namespace

TEST(RecordSaveTest, FileChangedOnDiskIsNotOverwritten) {
  const Bytes original = Pattern(kRecordSize + 122, 21);
  Bytes rewritten = original;
  rewritten[5000] ^= 0xFF;
  Bytes appended = original;
  appended.insert(appended.end(), 22, 0x5A);
  const Bytes shortened(original.begin(), original.end() - 22);
  const struct {
    const char* what;
    Bytes on_disk;
  } cases[] = {{"a byte rewritten", rewritten}, {"bytes appended", appended}, {"bytes cut off", shortened}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path file = dir / "audio_cfg.db";
    const fs::path backup = dir / "audio_cfg.db.bak";
    WriteBytes(file, original);
    WriteBytes(backup, Pattern(kRecordSize, 99));
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    WriteBytes(file, c.on_disk);
    EXPECT_EQ(SaveFrom(record, file), kInOutFileChanged);
    EXPECT_EQ(ReadBytes(file), c.on_disk);
    EXPECT_EQ(ReadBytes(backup), Pattern(kRecordSize, 99));
    EXPECT_EQ(ImageOf(record), original);
    EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"audio_cfg.db", "audio_cfg.db.bak"}));
  }
}

TEST(RecordSaveTest, TwoWindowsOnOneFileKeepTheFirstSave) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 22);
  WriteBytes(file, original);
  AudioConfigRecord first;
  AudioConfigRecord second;
  ASSERT_EQ(LoadInto(first, file), 0);
  ASSERT_EQ(LoadInto(second, file), 0);
  ASSERT_EQ(SaveFrom(first, file), 0);
  EXPECT_EQ(CodeOf([&] { Save(second, DefaultFileApi(), file.native(), {2, 2, 2, 2}); }), kInOutFileChanged);
  EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
  EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), original);
  // Opened again, the second window saves.
  ASSERT_EQ(LoadInto(second, file), 0);
  EXPECT_EQ(CodeOf([&] { Save(second, DefaultFileApi(), file.native(), {2, 2, 2, 2}); }), 0);
  EXPECT_EQ(ReadBytes(file), WithLevels(original, {2, 2, 2, 2}));
  EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), WithLevels(original, kNewLevels));
}

TEST(RecordSaveTest, DeletedFileIsWrittenAgain) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 23);
  WriteBytes(file, original);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  fs::remove(file);
  ASSERT_EQ(SaveFrom(record, file), 0);
  EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
  EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), original);
}

TEST(RecordSaveTest, LeftoverTemporaryIsReplacedAndAnotherSaveIsLeftAlone) {
  for (const bool file_exists : {true, false}) {
    SCOPED_TRACE(file_exists ? "file on disk" : "file deleted after opening");
    TempDir dir;
    const fs::path file = dir / "audio_cfg.db";
    const fs::path backup = dir / "audio_cfg.db.bak";
    const Bytes original = Pattern(kRecordSize, 24);
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    if (!file_exists) fs::remove(file);
    const std::vector<std::string> before = NamesIn(dir.Path());
    {
      const OtherSave other(file);
      const std::vector<std::string> with_other = NamesIn(dir.Path());
      EXPECT_EQ(SaveFrom(record, file), kInOutSharingViolation);
      EXPECT_EQ(NamesIn(dir.Path()), with_other);
      if (!file_exists || fs::exists(TemporaryOf(file))) {
        EXPECT_EQ(ReadBytes(TemporaryOf(file)), (Bytes{'h', 'a', 'l', 'f'}));
      }
      if (file_exists) {
        EXPECT_EQ(ReadBytes(file), original);
      }
      EXPECT_FALSE(fs::exists(backup));
      EXPECT_EQ(ImageOf(record), original);
    }
    // What a killed save leaves behind is taken over by the next one, and then gone.
    WriteBytes(TemporaryOf(file), Bytes{'o', 'l', 'd'});
    ASSERT_EQ(SaveFrom(record, file), 0);
    EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"audio_cfg.db", "audio_cfg.db.bak"}));
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(backup), original);
  }
}

TEST(RecordSaveTest, NamesTooLongForTheirBackupAreRefusedUpFront) {
  TempDir dir;
  const struct {
    std::size_t length;
    int code;
  } cases[] = {{251, 0}, {252, kInOutBackupNameTooLong}, {253, kInOutBackupNameTooLong}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    const fs::path file = dir / (std::string(c.length - 3, 'n') + ".db");
    const Bytes original = Pattern(kRecordSize, 25);
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    EXPECT_EQ(SaveFrom(record, file), c.code);
    EXPECT_EQ(ReadBytes(file), c.code == 0 ? WithLevels(original, kNewLevels) : original);
    std::vector<std::string> names{file.filename().string()};
    if (c.code == 0) names.push_back(names[0] + ".bak");
    EXPECT_EQ(NamesIn(dir.Path()), names);
    for (const auto& name : names) fs::remove(dir / name);
  }
}

TEST(RecordSaveTest, HardLinkedFileIsRefusedAndLeftWhole) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 29);
  WriteBytes(file, original);
  fs::create_hard_link(file, dir / "other name.db");
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  EXPECT_EQ(SaveFrom(record, file), kInOutHardLinked);
  EXPECT_EQ(ReadBytes(file), original);
  EXPECT_EQ(ReadBytes(dir / "other name.db"), original);
  EXPECT_EQ(NamesIn(dir.Path()), (std::vector<std::string>{"audio_cfg.db", "other name.db"}));
}

#ifdef _WIN32

TEST(RecordSaveTest, OddSpellingsOfTheNameBackUpToTheFilesOwnBackup) {
  TempDir dir;
  const fs::path file = dir / "weird audio config.db";
  const Bytes original = Pattern(kRecordSize, 26);
  std::wstring short_name(MAX_PATH, L'\0');
  WriteBytes(file, original);
  short_name.resize(GetShortPathNameW(file.c_str(), &short_name[0], MAX_PATH));
  ASSERT_FALSE(short_name.empty());
  const fs::path spellings[] = {file.native() + L".", file.native() + L" ", file.native() + L". .",
                                short_name};
  for (const fs::path& spelling : spellings) {
    SCOPED_TRACE(Utf8(spelling));
    fs::remove(dir / "weird audio config.db.bak");
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, spelling), 0);
    ASSERT_EQ(SaveFrom(record, spelling), 0);
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(dir / "weird audio config.db.bak"), original);
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::vector<std::string>{"weird audio config.db", "weird audio config.db.bak"}));
  }
}

TEST(RecordSaveTest, UnixLinkSeenThroughWineStaysALink) {
  const auto folder = FixtureFolder("link");
  if (!folder) GTEST_SKIP() << "needs the symbolic link that record_fixture.sh makes";
  const fs::path link = *folder / "audio_cfg.db";
  const fs::path real = folder->parent_path() / "linked" / "real.db";
  const Bytes original = ReadBytes(real);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, link), 0);
  ASSERT_EQ(SaveFrom(record, link), 0);
  // Had the link been replaced, the file it points to would still hold the old levels.
  EXPECT_EQ(ReadBytes(real), WithLevels(original, kNewLevels));
  EXPECT_EQ(ReadBytes(link), WithLevels(original, kNewLevels));
  EXPECT_EQ(ReadBytes(*folder / "audio_cfg.db.bak"), original);
  EXPECT_EQ(NamesIn(real.parent_path()), std::vector<std::string>{"real.db"});
  fs::remove(*folder / "audio_cfg.db.bak");
  WriteBytes(real, original);
}

// Whatever of these the file system keeps, a save keeps too (Wine keeps no creation time and
// only some attributes; Windows keeps all).
TEST(RecordSaveTest, ReplacedFileKeepsItsAttributesTimesAndShortName) {
  TempDir dir;
  const fs::path file = dir / "long audio config name.db";
  const Bytes original = Pattern(kRecordSize, 27);
  WriteBytes(file, original);
  constexpr DWORD kAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  ASSERT_TRUE(SetFileAttributesW(file.c_str(), kAttributes));
  const FILETIME created{0x12345678, 0x01c00000};
  {
    HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    SetFileTime(handle, &created, nullptr, nullptr);
    CloseHandle(handle);
  }
  const auto look = [&] {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
    return data;
  };
  const auto short_name = [&] {
    std::wstring name(MAX_PATH, L'\0');
    name.resize(GetShortPathNameW(file.c_str(), &name[0], MAX_PATH));
    return name;
  };
  const WIN32_FILE_ATTRIBUTE_DATA before = look();
  const std::wstring short_before = short_name();
  const bool keeps_creation_time = CompareFileTime(&before.ftCreationTime, &created) == 0;

  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  ASSERT_EQ(SaveFrom(record, file), 0);
  const WIN32_FILE_ATTRIBUTE_DATA after = look();
  EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
  EXPECT_EQ(after.dwFileAttributes & kAttributes, before.dwFileAttributes & kAttributes);
  EXPECT_EQ(short_name(), short_before);
  if (keeps_creation_time) {
    EXPECT_EQ(CompareFileTime(&after.ftCreationTime, &created), 0);
  }
}

#else

TEST(RecordSaveTest, SaveThroughASymbolicLinkUpdatesTheFileItLeadsTo) {
  TempDir dir;
  fs::create_directories(dir / "real");
  const fs::path real = dir / "real" / "actual.db";
  const Bytes original = Pattern(kRecordSize, 28);
  const struct {
    const char* what;
    fs::path link_to;
  } cases[] = {{"relative", "real/actual.db"}, {"absolute", real}, {"through a second link", "second.db"}};
  fs::create_symlink("real/actual.db", dir / "second.db");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path link = dir / "audio_cfg.db";
    fs::create_symlink(c.link_to, link);
    WriteBytes(real, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, link), 0);
    ASSERT_EQ(SaveFrom(record, link), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), c.link_to);
    EXPECT_EQ(ReadBytes(real), WithLevels(original, kNewLevels));
    // The backup goes beside the name chosen, as a file of its own.
    EXPECT_FALSE(fs::is_symlink(dir / "audio_cfg.db.bak"));
    EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), original);
    EXPECT_EQ(NamesIn(dir / "real"), std::vector<std::string>{"actual.db"});
    fs::remove(link);
    fs::remove(dir / "audio_cfg.db.bak");
  }
  // A link to a file deleted since it was opened: the file comes back where the link points.
  fs::create_symlink("real/actual.db", dir / "audio_cfg.db");
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, dir / "audio_cfg.db"), 0);
  fs::remove(real);
  ASSERT_EQ(SaveFrom(record, dir / "audio_cfg.db"), 0);
  EXPECT_TRUE(fs::is_symlink(dir / "audio_cfg.db"));
  EXPECT_EQ(ReadBytes(real), WithLevels(original, kNewLevels));
}

TEST(RecordSaveTest, ModeOwnerAndExtendedAttributesAreKept) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 30);
  const bool root = geteuid() == 0;
  for (const bool links : {true, false}) {
    SCOPED_TRACE(links ? "backup linked" : "backup copied");
    fs::remove(file);
    fs::remove(dir / "audio_cfg.db.bak");
    WriteBytes(file, original);
    ASSERT_EQ(chmod(file.c_str(), 0664), 0);  // group-writable: more than the usual creation mask allows
    if (root) {
      ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
    }
    const bool attributes = setxattr(file.c_str(), "user.velmora", "kept", 4, 0) == 0;
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    CopyingFileApi copying;
    FileApi& files = links ? DefaultFileApi() : copying;
    ASSERT_EQ(CodeOf([&] { Save(record, files, file.native(), kNewLevels); }), 0);
    for (const fs::path& saved : {file, dir / "audio_cfg.db.bak"}) {
      SCOPED_TRACE(saved.filename().string());
      struct stat st {};
      ASSERT_EQ(stat(saved.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0664u);
      if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
      }
      if (attributes) {
        char value[8] = {};
        EXPECT_EQ(getxattr(saved.c_str(), "user.velmora", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
      }
    }
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), original);
  }
}

#endif
