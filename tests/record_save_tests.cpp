// What a save finds on disk, through the program's own Win32 back-end under Wine: links and
// leftovers at its own names, other programs, a second program saving at the same moment, odd
// spellings of the name and the file's own settings.
#include <windows.h>

#include "record/win32_file_calls.h"
#include "record_test_support.h"

namespace {

const VolumeLevels kNewLevels{6, 1, 6, 1};

int SaveFrom(AudioConfigRecord& record, const fs::path& path) { return ::SaveFrom(record, path, kNewLevels); }

}  // namespace

TEST(RecordSaveTest, HardLinkedFileIsSavedInPlaceUnderEveryName) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 29);
  WriteBytes(file, original);
  fs::create_hard_link(file, dir / "other name.db");
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  ASSERT_EQ(SaveFrom(record, file), 0);
  EXPECT_EQ(ReadBytes(dir / "other name.db"), WithLevels(original, kNewLevels));
  EXPECT_EQ(NamesIn(dir.Path()), (Names{"audio_cfg.db", "audio_cfg.db.bak", "other name.db"}));
}

TEST(RecordSaveTest, OddSpellingsOfTheNameBackUpToTheFilesOwnBackup) {
  TempDir dir;
  const fs::path file = dir / "weird audio config.db";
  const Bytes original = Pattern(kRecordSize, 26);
  std::wstring short_name(MAX_PATH, L'\0');
  WriteBytes(file, original);
  short_name.resize(GetShortPathNameW(file.c_str(), &short_name[0], MAX_PATH));
  ASSERT_FALSE(short_name.empty());
  const std::size_t parent_names = NamesIn(dir.Path().parent_path()).size();
  // The folder by its short name too, with the file deleted after it was opened: it is made
  // anew in that folder, never beside it; by its own short name it can no longer be known.
  const fs::path short_folder = fs::path(short_name).parent_path() / "weird audio config.db";
  const struct {
    fs::path spelling;
    bool deleted;
    int code;
  } cases[] = {{file.native() + L".", false, 0},       {file.native() + L" ", false, 0},
               {file.native() + L". .", false, 0},     {short_name, false, 0},
               {short_name, true, kInOutFileNotFound}, {short_folder, true, 0}};
  for (const auto& [spelling, deleted, code] : cases) {
    SCOPED_TRACE(Utf8(spelling));
    fs::remove(dir / "weird audio config.db.bak");
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, spelling), 0);
    if (deleted) fs::remove(file);
    ASSERT_EQ(SaveFrom(record, spelling), code);
    if (code != 0) {
      EXPECT_TRUE(NamesIn(dir.Path()).empty());
      continue;
    }
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
    EXPECT_EQ(ReadBytes(dir / "weird audio config.db.bak"), original);
    EXPECT_EQ(NamesIn(dir.Path()),
              (std::vector<std::string>{"weird audio config.db", "weird audio config.db.bak"}));
    EXPECT_EQ(NamesIn(dir.Path().parent_path()).size(), parent_names);
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

// A save writes into the file: it keeps its id and whatever else the file system keeps.
TEST(RecordSaveTest, SavedFileKeepsItsIdAttributesTimesAndShortName) {
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
    BY_HANDLE_FILE_INFORMATION data{};
    HANDLE handle =
        CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_TRUE(GetFileInformationByHandle(handle, &data));
    CloseHandle(handle);
    return data;
  };
  const auto short_name = [&] {
    std::wstring name(MAX_PATH, L'\0');
    name.resize(GetShortPathNameW(file.c_str(), &name[0], MAX_PATH));
    return name;
  };
  const BY_HANDLE_FILE_INFORMATION before = look();
  const std::wstring short_before = short_name();
  const bool keeps_creation_time = CompareFileTime(&before.ftCreationTime, &created) == 0;

  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  ASSERT_EQ(SaveFrom(record, file), 0);
  const BY_HANDLE_FILE_INFORMATION after = look();
  EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
  EXPECT_EQ(after.nFileIndexLow, before.nFileIndexLow);
  EXPECT_EQ(after.nFileIndexHigh, before.nFileIndexHigh);
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
  for (const char* attack : {"tmp-symlink", "tmp-hardlink", "tmp-to-bak", "tmp-hardlink-to-bak",
                             "tmp-readonly", "bak-symlink", "bak-dangling"}) {
    SCOPED_TRACE(attack);
    const fs::path folder = *root / attack;
    const fs::path file = folder / "audio_cfg.db";
    const fs::path backup = folder / "audio_cfg.db.bak";
    const Bytes original = ReadBytes(file);
    // What stands at a temporary's name is a killed save's leftover: it goes as a name, and
    // whatever it leads to stays.
    Names names{"audio_cfg.db", "audio_cfg.db.bak"};
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
  // Made anew in another case, the file finds the backup's name in the old case alone, which it
  // is told to rename or move.
  fs::remove(dir / "AUDIO_CFG.DB");
  WriteBytes(dir / "audio_cfg.db", original);
  ASSERT_EQ(LoadInto(record, dir / "audio_cfg.db"), 0);
  try {
    SaveRecord(record, (dir / "audio_cfg.db").native(), kNewLevels);
    ADD_FAILURE() << "saved beside another case's backup";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Code(), kInOutBackupLoneTwin);
    EXPECT_NE(std::string(error.what()).find("\"AUDIO_CFG.DB.bak\""), std::string::npos) << error.what();
  }
}

// On a Linux folder: case twins, and a name ending in a dot (chosen by its short name) beside
// the same name without it. A save reaches the file chosen, or is refused; never its neighbour.
TEST(RecordSaveTest, NamesWindowsCannotTellApartReachOnlyTheFileChosen) {
  const auto twins = FixtureFolder("twins");
  const auto odd = FixtureFolder("odd");
  if (!twins || !odd) GTEST_SKIP() << "needs the folders that record_fixture.sh makes";
  std::wstring short_name;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((odd->native() + L"\\*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    if (std::wstring(data.cFileName) == L"audio_cfg.db.") short_name = data.cAlternateFileName;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  // A twin's backup is never taken for the file's own, which Wine would find regardless of case.
  const struct {
    fs::path chosen, neighbour;
    std::string chosen_name;
    int code;
  } cases[] = {{*twins / "AUDIO_CFG.DB", *twins / "audio_cfg.db", "AUDIO_CFG.DB", 0},
               {*twins / "audio_cfg.db", *twins / "AUDIO_CFG.DB", "audio_cfg.db", kInOutBackupCaseTwin},
               {*twins / "audio_cfg.db", *twins / "AUDIO_CFG.DB", "audio_cfg.db", 0},
               {*twins / "AUDIO_CFG.DB", *twins / "audio_cfg.db", "AUDIO_CFG.DB", kInOutBackupCaseTwin},
               {*twins / "audio_cfg.db", *twins / "AUDIO_CFG.DB", "audio_cfg.db", kInOutBackupCaseTwin},
               {*odd / short_name, *odd / "audio_cfg.db", "audio_cfg.db.", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.chosen));
    // The third case finds the twin's backup gone; the fourth finds the third's.
    if (&c == &cases[2]) fs::remove(*twins / "AUDIO_CFG.DB.bak");
    // The fifth finds its own backup, which the third left, gone and the twin's back.
    if (&c == &cases[4]) {
      fs::remove(*twins / "audio_cfg.db.bak");
      WriteBytes(*twins / "AUDIO_CFG.DB.bak",
                 Bytes(kRecordSize, 'b'));  // as large as the backup it stands for
    }
    const fs::path folder = c.chosen.parent_path();
    const auto others = [&] {
      std::vector<std::pair<std::string, Bytes>> files;
      for (const std::string& name : NamesIn(folder)) {
        if (name != c.chosen_name && name != c.chosen_name + ".bak")
          files.emplace_back(name, ReadBytes(folder / name));
      }
      return files;
    };
    const auto before = others();
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, c.chosen), 0);
    const Bytes original = ImageOf(record);
    ASSERT_NE(original, ReadBytes(c.neighbour));
    EXPECT_EQ(SaveFrom(record, c.chosen), c.code);
    EXPECT_EQ(others(), before);
    AudioConfigRecord now;  // read by the name chosen: Windows would drop the trailing dot
    ASSERT_EQ(LoadInto(now, c.chosen), 0);
    EXPECT_EQ(ImageOf(now), c.code == 0 ? WithLevels(original, kNewLevels) : original);
    if (c.code == 0) {
      EXPECT_EQ(ReadBytes(folder / (c.chosen_name + ".bak")), original);
    }
  }
}

// A reader that lets others write is no obstacle; one that does not fails the save with
// nothing written, until it lets go.
TEST(RecordSaveTest, OtherReadersStopASaveOnlyIfTheyKeepWritersOut) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize, 32);
  for (const DWORD share : {DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}, DWORD{FILE_SHARE_READ}}) {
    SCOPED_TRACE(share);
    for (const auto& entry : fs::directory_iterator(dir.Path())) fs::remove(entry.path());
    WriteBytes(file, original);
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const bool shared = share & FILE_SHARE_WRITE;
    EXPECT_EQ(SaveFrom(record, file), shared ? 0 : kInOutSharingViolation);
    EXPECT_EQ(NamesIn(dir.Path()),
              shared ? (Names{"audio_cfg.db", "audio_cfg.db.bak"}) : Names{"audio_cfg.db"});
    CloseHandle(reader);
    EXPECT_EQ(SaveFrom(record, file), 0);
    EXPECT_EQ(ReadBytes(file), WithLevels(original, kNewLevels));
  }
}

// Two programs that opened the same file save at the same moment, many times over, each through
// its own spelling of the file (the same name, a folder link, a mapped drive, a file link and
// its target): one wins, the other is told the file changed (or is busy), the backup beside
// the winner's name is the record both opened, and nothing else is left.
TEST(RecordSaveTest, TwoProgramsSavingAtOnceNeverBothSucceed) {
  wchar_t child[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"VELMORA_SAVE_CHILD", child, MAX_PATH) > 0) {
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
  struct Spellings {
    const char* what;
    fs::path mine, theirs;
  };
  std::vector<Spellings> cases{{"one name", dir / "audio_cfg.db", dir / "audio_cfg.db"}};
  if (const auto alias = FixtureFolder("alias")) {
    cases.push_back({"folder link", *alias / "dir" / "audio_cfg.db", *alias / "dirlink" / "audio_cfg.db"});
    cases.push_back({"file link", *alias / "dir" / "audio_cfg.db", *alias / "dir" / "filelink.db"});
    if (FixtureFolder("drive"))
      cases.push_back({"mapped drive", *alias / "dir" / "audio_cfg.db", L"R:\\audio_cfg.db"});
  }
  const char* rounds_setting = std::getenv("VELMORA_SAVE_ROUNDS");
  const int rounds = rounds_setting ? std::atoi(rounds_setting) : 15;
  for (const Spellings& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path folder = c.mine.parent_path();
    SetEnvironmentVariableW(L"VELMORA_SAVE_CHILD", c.theirs.c_str());
    int wins[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
      SCOPED_TRACE(round);
      const Bytes original = Pattern(kRecordSize, round);
      for (const std::string& name : NamesIn(folder)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bak") == 0) fs::remove(folder / name);
      }
      WriteBytes(c.mine, original);
      AudioConfigRecord record;
      ASSERT_EQ(LoadInto(record, c.mine), 0);
      HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, L"VelmoraSaveReady");
      HANDLE go = CreateEventW(nullptr, TRUE, FALSE, L"VelmoraSaveGo");
      HANDLE process = StartThisTestAgain();
      ASSERT_NE(process, nullptr);
      WaitForSingleObject(ready, 10000);
      SetEvent(go);
      const int mine = SaveFrom(record, c.mine);
      const DWORD theirs = ExitCodeOf(process);
      CloseHandle(ready);
      CloseHandle(go);
      ASSERT_TRUE(mine == 0 || theirs == 0) << mine << " " << theirs;
      ASSERT_FALSE(mine == 0 && theirs == 0);
      const int loser = mine == 0 ? static_cast<int>(theirs) : mine;
      EXPECT_TRUE(loser == kInOutFileChanged || loser == kInOutSharingViolation) << loser;
      EXPECT_EQ(ReadBytes(c.mine), WithLevels(original, mine == 0 ? kNewLevels : VolumeLevels{2, 2, 2, 2}));
      const fs::path winner = mine == 0 ? c.mine : c.theirs;
      EXPECT_EQ(ReadBytes(BackupPath(winner.native())), original);
      Names expected{"audio_cfg.db", "audio_cfg.db.bak"};
      if (winner.filename() == "filelink.db")
        expected = {"audio_cfg.db", "filelink.db", "filelink.db.bak"};
      else if (fs::exists(folder / "filelink.db"))
        expected.push_back("filelink.db");
      EXPECT_EQ(NamesIn(folder), expected);
      ++wins[mine == 0 ? 0 : 1];
    }
    std::printf("%s: this program won %d rounds, the other %d\n", c.what, wins[0], wins[1]);
  }
  SetEnvironmentVariableW(L"VELMORA_SAVE_CHILD", nullptr);
}

namespace {
Win32FileCalls g_unslowed;
// A write a moment late, so that two saves overlap at every step, the last compare included.
BOOL WINAPI SlowWrite(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
  Sleep(1);
  return g_unslowed.WriteFile(file, bytes, count, written, overlapped);
}
}  // namespace

// One side of two programs in two Wine prefixes (two wineservers, which share no mutex and no
// share mode) each loading and saving one file round after round: tests/two_prefixes.sh runs
// both and judges by what each loaded and was told, never by when.
TEST(RecordSaveTest, RacesAProgramInAnotherPrefix) {
  const char* file_setting = std::getenv("VELMORA_RACE_FILE");
  if (file_setting == nullptr) GTEST_SKIP() << "run by tests/two_prefixes.sh";
  const fs::path file = HostPath(file_setting);
  const int side = std::atoi(std::getenv("VELMORA_RACE_SIDE"));
  const int rounds = std::atoi(std::getenv("VELMORA_RACE_ROUNDS"));
  // Each says it is ready and waits for the other, so that their rounds overlap.
  WriteBytes(file.native() + L".ready" + std::to_wstring(side), {});
  while (!fs::exists(file.native() + L".ready" + std::to_wstring(3 - side))) Sleep(1);
  g_unslowed = FileCalls();
  FileCalls().WriteFile = SlowWrite;
  for (int round = 0; round < rounds; ++round) {
    AudioConfigRecord record;
    const int loaded = LoadInto(record, file);
    const Bytes was = ImageOf(record);
    const VolumeLevels levels{static_cast<std::uint8_t>(side), static_cast<std::uint8_t>(round % 6 + 1),
                              static_cast<std::uint8_t>(round / 6 % 6 + 1),
                              static_cast<std::uint8_t>(round / 36 % 6 + 1)};
    const int code = loaded != 0 ? loaded : SaveFrom(record, file, levels);
    std::printf("race %d %d %d%d%d%d %d%d%d%d\n", round, code, was[kLevelsAt[0]], was[kLevelsAt[1]],
                was[kLevelsAt[2]], was[kLevelsAt[3]], levels[0], levels[1], levels[2], levels[3]);
  }
}
