// Other programs acting on the file while a save runs: those of this Wine session, which the
// save keeps out, and Linux programs, which nothing keeps out, found and told.
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
