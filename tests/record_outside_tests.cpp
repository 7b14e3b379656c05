// Other programs acting on the file while a save runs: those of this Wine session, which the
// save keeps out, Linux programs, which nothing keeps out, found and told, and other programs
// saving it at the same moment, in this Wine prefix and in another; and another user's file.
#include "record_sweep.h"

namespace {
const wchar_t* g_watched = nullptr;
std::vector<DWORD> g_writerErrors;
// Before the backup's rename, another program tries to write the file, and to rename over it.
BOOL WINAPI MoveWatchingWriters(LPCWSTR from, LPCWSTR to, DWORD flags) {
  HANDLE writer =
      CreateFileW(g_watched, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  g_writerErrors.push_back(writer == INVALID_HANDLE_VALUE ? GetLastError() : 0);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  return MoveFileExW(from, to, flags);
}
}  // namespace

// From the open to the end of the save, no other program may write the file.
TEST(RecordWin32Sweep, OtherWritersAreKeptOutWhileTheBackupIsWritten) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  WriteBytes(file, Pattern(kRecordSize, 4));
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  const Win32FileCalls saved = FileCalls();
  g_watched = file.c_str();
  g_writerErrors.clear();
  FileCalls().MoveFileExW = MoveWatchingWriters;
  const int code = SaveFrom(record, file, {1, 2, 3, 4});
  FileCalls() = saved;
  EXPECT_EQ(code, 0);
  ASSERT_FALSE(g_writerErrors.empty());
  EXPECT_EQ(g_writerErrors.front(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// Runs command as a Linux program, which neither share modes nor the lock keep out, and waits
// until done() sees what it did: Wine hands back no handle of a Linux process to wait on.
bool FromLinux(const std::string& command, const std::function<bool()>& done) {
  std::wstring line = L"/bin/sh -c \"" + std::wstring(command.begin(), command.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  for (int guard = 0; guard < 20000 && !done(); ++guard) Sleep(1);
  return done();
}

// Other programs act on the file at each call of a save in turn. One of this Wine session that
// renames a file of its own over it is kept out once the save holds the file, and found before.
// A Linux program, which nothing keeps out, writes a byte beside the levels in place, or renames
// its own file over it: its byte is never reverted, and a save is told good only when its levels
// are at the file's name.
TEST(RecordWin32Sweep, OtherProgramsDuringASaveAreNeverRevertedNorTakenForSaved) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path theirs = dir / "theirs.db";
  const auto unix_name = reinterpret_cast<char*(CDECL*)(const wchar_t*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unix_name == nullptr) GTEST_SKIP() << "Linux programs run beside Wine only";
  const std::string unix_dir = unix_name(dir.Path().c_str()) + std::string("/");
  const Bytes original = Pattern(kRecordSize, 6);
  const Bytes their_bytes = Pattern(kRecordSize, 66);
  const Bytes edited = [&] {
    Bytes bytes = original;
    return bytes[100] = 'X', bytes;
  }();
  const VolumeLevels levels{1, 2, 3, 4};
  // A Linux program's byte beside the levels, or in the first level's place.
  for (const std::string who : {"Windows rename", "Linux byte", "Linux level", "Linux rename"}) {
    const std::size_t edit = who == "Linux level" ? 397 : 100;
    int acted = 0;
    for (int at = 1;; ++at) {
      SCOPED_TRACE(testing::Message() << who << " at call " << at);
      ASSERT_LT(at, 100);
      for (const auto& entry : fs::directory_iterator(dir.Path())) fs::remove(entry.path());
      WriteBytes(file, original);
      WriteBytes(theirs, their_bytes);
      AudioConfigRecord record;
      ASSERT_EQ(LoadInto(record, file), 0);
      bool done = false;
      Sweep sweep;
      sweep.fail_at = at;
      sweep.meanwhile = [&] {
        if (who == "Windows rename")
          done = sweep.real.MoveFileExW(theirs.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
        else if (who == "Linux rename")
          done = FromLinux("mv " + unix_dir + "theirs.db " + unix_dir + "audio_cfg.db",
                           [&] { return !fs::exists(theirs); });
        else
          done = FromLinux("printf X | dd of=" + unix_dir +
                               "audio_cfg.db bs=1 conv=notrunc status=none seek=" + std::to_string(edit),
                           [&] { return ReadBytes(file)[edit] == 'X'; });
      };
      int code = 0;
      {
        const SweepScope scope(sweep);
        code = SaveFrom(record, file, levels);
      }
      if (at > static_cast<int>(sweep.calls.size())) break;
      ASSERT_TRUE(done || who == "Windows rename");
      acted += done;
      const Bytes now = ReadBytes(file);
      // What comes after the save's last look at the name (its open after the flush) is not its to
      // tell, nor a level written over between its last compare and that level's write.
      const auto& calls = sweep.calls;
      const auto index = [&](auto call) { return static_cast<int>(call - calls.begin()); };
      const int looked = index(std::find(std::find(calls.rbegin(), calls.rend(), "FlushFileBuffers").base(),
                                         calls.end(), "CreateFileW")) +
                         1;
      const auto folder_flushed = std::find(calls.begin(), calls.end(), "FlushFolder");
      const int compared = index(std::find(folder_flushed, calls.end(), "ReadFile")) + 1;
      const int written = index(std::find(calls.rbegin(), calls.rend(), "WriteFile").base());
      if (who == "Linux byte") {
        EXPECT_EQ(now, code == 0 ? WithLevels(edited, levels) : edited);
        EXPECT_TRUE(code == 0 || code == kInOutFileChanged) << code;
      } else if (at > looked || (who == "Linux level" && at > compared && at <= written)) {
        continue;
      } else if (who == "Linux level") {
        EXPECT_NE(code, 0);
        EXPECT_EQ(now[397], 'X');
      } else {
        EXPECT_EQ(now, code == 0 ? WithLevels(original, levels) : their_bytes);
        EXPECT_EQ(code == 0, !done);
      }
    }
    EXPECT_GE(acted, 2) << who;
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
      const int mine = SaveFrom(record, c.mine, {6, 1, 6, 1});
      const DWORD theirs = ExitCodeOf(process);
      CloseHandle(ready);
      CloseHandle(go);
      ASSERT_TRUE(mine == 0 || theirs == 0) << mine << " " << theirs;
      ASSERT_FALSE(mine == 0 && theirs == 0);
      const int loser = mine == 0 ? static_cast<int>(theirs) : mine;
      EXPECT_TRUE(loser == kInOutFileChanged || loser == kInOutSharingViolation) << loser;
      EXPECT_EQ(ReadBytes(c.mine),
                WithLevels(original, mine == 0 ? VolumeLevels{6, 1, 6, 1} : VolumeLevels{2, 2, 2, 2}));
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

// Saved by another user (tests/as_another_user.sh), which checks that the file's owner, mode,
// extended attributes and links are as they were.
TEST(RecordOsTest, FileOfAnotherOwnerIsSavedInPlace) {
  const VolumeLevels kOtherLevels{6, 5, 4, 3};
  const char* kept = std::getenv("VELMORA_KEPT_FILE");
  if (kept == nullptr) GTEST_SKIP() << "run by tests/as_another_user.sh";
  const fs::path file = HostPath(kept);
  const Bytes original = ReadBytes(file);
  AudioConfigRecord record;
  ASSERT_EQ(LoadInto(record, file), 0);
  EXPECT_EQ(SaveFrom(record, file, kOtherLevels), 0);
  EXPECT_EQ(ReadBytes(file), WithLevels(original, kOtherLevels));
}
