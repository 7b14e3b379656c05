// What a save finds on disk, through the program's own Win32 back-end under Wine: links and
// leftovers at its own names, readers holding the file, odd spellings of the name and the
// file's own settings.
#include <windows.h>

#include <algorithm>

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
  // Other test programs make folders beside this one meanwhile: only a file of this name counts.
  const auto besideTheFolder = [&] {
    const auto names = NamesIn(dir.Path().parent_path());
    return std::count_if(names.begin(), names.end(),
                         [](const std::string& n) { return n.rfind("weird", 0) == 0; });
  };
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
    EXPECT_EQ(besideTheFolder(), 0);
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
