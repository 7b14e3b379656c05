// What a save finds on disk, through the program's own Win32 back-end under Wine: links and
// leftovers at its own names, other programs, a second program saving at the same moment, odd
// spellings of the name and the file's own settings.
#include "record_test_support.h"

#include <windows.h>

namespace {

const std::array<int, 4> kNewLevels{6, 1, 6, 1};

int SaveFrom(AudioConfigRecord& record, const fs::path& path) { return ::SaveFrom(record, path, kNewLevels); }

using Names = std::vector<std::string>;

}  // namespace

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


TEST(RecordSaveTest, NothingAtItsOwnNamesLeadsASaveToAnotherFile) {
  const auto root = FixtureFolder("attack");
  if (!root) GTEST_SKIP() << "needs the links that record_fixture.sh makes";
  const fs::path victims = root->parent_path() / "victims";
  std::vector<std::pair<std::string, Bytes>> before;
  for (const std::string& name : NamesIn(victims)) before.emplace_back(name, ReadBytes(victims / name));
  for (const char* attack : {"tmp-symlink", "tmp-hardlink", "tmp-to-bak", "tmp-hardlink-to-bak", "tmp-readonly",
                             "bak-symlink", "bak-dangling"}) {
    SCOPED_TRACE(attack);
    const fs::path folder = *root / attack;
    const fs::path file = folder / "audio_cfg.db";
    const fs::path backup = folder / "audio_cfg.db.bak";
    const Bytes original = ReadBytes(file);
    // What stands at the temporary's name is somebody else's: it stays, and is never opened.
    Names names = NamesIn(folder);
    if (!fs::exists(fs::symlink_status(backup))) names.insert(names.begin() + 1, "audio_cfg.db.bak");
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    ASSERT_EQ(SaveFrom(record, file), 0);
    EXPECT_EQ(NamesIn(folder), names);
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(backup), original);
    EXPECT_EQ(GetFileAttributesW(backup.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ASSERT_EQ(SaveFrom(record, file), 0);
    EXPECT_EQ(NamesIn(folder), names);
  }
  std::vector<std::pair<std::string, Bytes>> after;
  for (const std::string& name : NamesIn(victims)) after.emplace_back(name, ReadBytes(victims / name));
  EXPECT_EQ(after, before);
}

TEST(RecordSaveTest, ALinkWhoseFileWasDeletedAfterOpenIsRefused) {
  const auto folder = FixtureFolder("dangling");
  if (!folder) GTEST_SKIP() << "needs the link that record_fixture.sh makes";
  const fs::path link = *folder / "audio_cfg.db";
  const fs::path real = folder->parent_path() / "victims" / "dangling.db";
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, link), 0);
  fs::remove(real);
  EXPECT_EQ(SaveFrom(record, link), kInOutBrokenLink);
  EXPECT_FALSE(fs::exists(real));
  EXPECT_FALSE(fs::exists(*folder / "audio_cfg.db.bak"));
}

TEST(RecordSaveTest, TheFileKeepsTheLetterCaseItHasOnDisk) {
  TempDir dir;
  const Bytes original = Pattern(kRecordSize, 31);
  WriteBytes(dir / "AUDIO_CFG.DB", original);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, dir / "audio_cfg.db"), 0);
  ASSERT_EQ(SaveFrom(record, dir / "audio_cfg.db"), 0);
  EXPECT_EQ(NamesIn(dir.Path()), (Names{"AUDIO_CFG.DB", "AUDIO_CFG.DB.bak"}));
  EXPECT_EQ(ReadBytes(dir / "AUDIO_CFG.DB"), WithLevels(original, kNewLevels));
}

TEST(RecordSaveTest, AReaderThatDoesNotShareDeleteFailsTheSaveAndLeavesNothing) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 32);
  WriteBytes(file, original);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_NE(SaveFrom(record, file), 0);
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"audio_cfg.db", "audio_cfg.db.bak"}));
    EXPECT_EQ(ReadBytes(file), original);
    EXPECT_EQ(ImageOf(record), original);
  }
  CloseHandle(reader);
  EXPECT_EQ(SaveFrom(record, file), 0);
  EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
}

// Two programs that opened the same file save at the same moment, many times over: one wins,
// the other is told the file changed (or is busy), and the backup is the record both opened.
TEST(RecordSaveTest, TwoProgramsSavingAtOnceNeverBothSucceed) {
  wchar_t child[64] = {};
  if (GetEnvironmentVariableW(L"VELMORA_SAVE_CHILD", child, 64) > 0) {
    const fs::path file = std::wstring(child);
    AudioConfigRecord record;
    const int loaded = LoadInto(record, file);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"VelmoraSaveReady");
    HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, L"VelmoraSaveGo");
    SetEvent(ready);
    WaitForSingleObject(go, 10000);
    std::exit(loaded != 0 ? loaded : ::SaveFrom(record, file, {2, 2, 2, 2}));
  }
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=RecordSaveTest.TwoProgramsSavingAtOnceNeverBothSucceed";
  SetEnvironmentVariableW(L"VELMORA_SAVE_CHILD", file.c_str());
  int wins[2] = {0, 0};
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const Bytes original = Pattern(kRecordSize, round);
    fs::remove(dir / "audio_cfg.db.bak");
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"VelmoraSaveReady");
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, L"VelmoraSaveGo");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = command;
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    WaitForSingleObject(ready, 10000);
    SetEvent(go);
    const int mine = SaveFrom(record, file);
    WaitForSingleObject(process.hProcess, 20000);
    DWORD theirs = 0;
    GetExitCodeProcess(process.hProcess, &theirs);
    for (HANDLE h : {process.hProcess, process.hThread, ready, go}) CloseHandle(h);
    ASSERT_TRUE(mine == 0 || theirs == 0) << mine << " " << theirs;
    ASSERT_FALSE(mine == 0 && theirs == 0);
    const int loser = mine == 0 ? static_cast<int>(theirs) : mine;
    EXPECT_TRUE(loser == kInOutFileChanged || loser == kInOutSharingViolation) << loser;
    EXPECT_EQ(ReadBytes(file), WithLevels(original, mine == 0 ? kNewLevels : std::array<int, 4>{2, 2, 2, 2}));
    EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), original);
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"audio_cfg.db", "audio_cfg.db.bak"}));
    ++wins[mine == 0 ? 0 : 1];
  }
  SetEnvironmentVariableW(L"VELMORA_SAVE_CHILD", nullptr);
  std::printf("this program won %d rounds, the other %d\n", wins[0], wins[1]);
}
