// Loading and saving on real files with each Win32 call they make failing in turn, with the
// errors that call really returns, or the program ending there.
#include <map>
#include <type_traits>

#include "record/win32_file.h"
#include "record_test_support.h"

namespace {

struct Sweep {
  Win32FileCalls real;
  int fail_at = 0;
  DWORD error = 0;
  bool kill = false;                // the program ends at the call instead
  std::function<void()> meanwhile;  // instead, another program acts on the file

  std::vector<std::string> calls;

  bool Due(const char* name) {
    calls.push_back(name);
    if (static_cast<int>(calls.size()) != fail_at) return false;
    if (kill) TerminateProcess(GetCurrentProcess(), kKilled);
    if (!meanwhile) return true;
    meanwhile();
    return false;
  }
  static constexpr UINT kKilled = 99;
};
Sweep* g_sweep = nullptr;

template <typename T>
T FailureOf() {
  if constexpr (std::is_same_v<T, HANDLE>) {
    return INVALID_HANDLE_VALUE;
  } else if constexpr (std::is_same_v<T, DWORD>) {
    return 0;
  } else if constexpr (std::is_same_v<T, LONG>) {
    return static_cast<LONG>(0xC0000022);  // an NTSTATUS: access denied
  } else {
    return FALSE;
  }
}

// Stands in for one entry of the table: passes the call on, or fails it when it is due.
template <auto Member,
          typename F = std::remove_reference_t<decltype(std::declval<Win32FileCalls&>().*Member)>>
struct Failing;
template <auto Member, typename R, typename... A>
struct Failing<Member, R(WINAPI*)(A...)> {
  static inline const char* name = nullptr;
  static R WINAPI Call(A... args) {
    if (!g_sweep->Due(name)) return (g_sweep->real.*Member)(args...);
    SetLastError(g_sweep->error);
    return FailureOf<R>();
  }
};

BOOL WINAPI FailingClose(HANDLE handle) {
  const BOOL closed = g_sweep->real.CloseHandle(handle);  // a failing close still closes
  if (!g_sweep->Due("CloseHandle")) return closed;
  SetLastError(g_sweep->error);
  return FALSE;
}

// Wine on a full disk has answered success with part of the bytes written; here with none.
constexpr DWORD kWroteNothing = ~DWORD{0};
BOOL WINAPI FailingWrite(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
  if (!g_sweep->Due("WriteFile")) return g_sweep->real.WriteFile(file, bytes, count, written, overlapped);
  if (g_sweep->error == kWroteNothing) return *written = 0, TRUE;
  SetLastError(g_sweep->error);
  return FALSE;
}

// A folder's flush goes by a name of its own, so that its place among the calls shows.
BOOL WINAPI FailingFlush(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION data{};
  const bool folder = g_sweep->real.GetFileInformationByHandle(handle, &data) &&
                      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!g_sweep->Due(folder ? "FlushFolder" : "FlushFileBuffers"))
    return g_sweep->real.FlushFileBuffers(handle);
  SetLastError(g_sweep->error);
  return FALSE;
}

void WINAPI CountedSleep(DWORD milliseconds) {
  g_sweep->Due("Sleep");
  g_sweep->real.Sleep(milliseconds);
}

template <auto Member>
void Install(Win32FileCalls& calls, const char* name) {
  Failing<Member>::name = name;
  calls.*Member = &Failing<Member>::Call;
}

// Makes every call of the back-end go through the sweep while it lives.
class SweepScope {
 public:
  explicit SweepScope(Sweep& sweep) : saved_(FileCalls()) {
    sweep.real = saved_;
    g_sweep = &sweep;
    Win32FileCalls& calls = FileCalls();
    Install<&Win32FileCalls::GetFullPathNameW>(calls, "GetFullPathNameW");
    Install<&Win32FileCalls::GetLongPathNameW>(calls, "GetLongPathNameW");
    Install<&Win32FileCalls::FindFirstFileW>(calls, "FindFirstFileW");
    Install<&Win32FileCalls::FindNextFileW>(calls, "FindNextFileW");
    Install<&Win32FileCalls::GetFileAttributesExW>(calls, "GetFileAttributesExW");
    Install<&Win32FileCalls::CreateFileW>(calls, "CreateFileW");
    Install<&Win32FileCalls::GetFileInformationByHandle>(calls, "GetFileInformationByHandle");
    Install<&Win32FileCalls::GetFileSizeEx>(calls, "GetFileSizeEx");
    Install<&Win32FileCalls::GetFileType>(calls, "GetFileType");
    Install<&Win32FileCalls::GetKernelObjectSecurity>(calls, "GetKernelObjectSecurity");
    Install<&Win32FileCalls::NtQueryInformationFile>(calls, "NtQueryInformationFile");
    Install<&Win32FileCalls::SetFilePointerEx>(calls, "SetFilePointerEx");
    Install<&Win32FileCalls::ReadFile>(calls, "ReadFile");
    calls.WriteFile = FailingWrite;
    calls.FlushFileBuffers = FailingFlush;
    Install<&Win32FileCalls::LockFileEx>(calls, "LockFileEx");
    Install<&Win32FileCalls::UnlockFileEx>(calls, "UnlockFileEx");
    Install<&Win32FileCalls::MoveFileExW>(calls, "MoveFileExW");
    Install<&Win32FileCalls::DeleteFileW>(calls, "DeleteFileW");
    calls.CloseHandle = FailingClose;
    calls.Sleep = CountedSleep;
  }
  ~SweepScope() {
    FileCalls() = saved_;
    g_sweep = nullptr;
  }
  SweepScope(const SweepScope&) = delete;
  SweepScope& operator=(const SweepScope&) = delete;

 private:
  Win32FileCalls saved_;
};

// What each call really returns when it fails.
const std::map<std::string, std::vector<DWORD>> kErrors = {
    {"GetFullPathNameW", {ERROR_FILENAME_EXCED_RANGE}},
    {"GetLongPathNameW", {ERROR_ACCESS_DENIED}},
    {"FindFirstFileW", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
    {"FindNextFileW", {ERROR_NO_MORE_FILES}},
    {"GetFileAttributesExW", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
    {"CreateFileW", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_FILE_EXISTS, ERROR_DISK_FULL}},
    {"GetFileInformationByHandle", {ERROR_ACCESS_DENIED}},
    {"GetFileSizeEx", {ERROR_ACCESS_DENIED}},
    {"GetFileType", {ERROR_INVALID_HANDLE}},
    {"GetKernelObjectSecurity", {ERROR_ACCESS_DENIED, ERROR_NOT_SUPPORTED}},
    {"NtQueryInformationFile", {ERROR_ACCESS_DENIED}},
    {"SetFilePointerEx", {ERROR_INVALID_PARAMETER}},
    {"ReadFile", {ERROR_READ_FAULT, ERROR_LOCK_VIOLATION}},
    {"WriteFile", {ERROR_DISK_FULL, ERROR_WRITE_FAULT, kWroteNothing}},
    {"FlushFileBuffers", {ERROR_IO_DEVICE}},
    {"FlushFolder", {ERROR_IO_DEVICE, ERROR_INVALID_FUNCTION}},
    // A lock held elsewhere is waited for; a file system without locks still saves.
    {"LockFileEx", {ERROR_LOCK_VIOLATION, ERROR_NOT_SUPPORTED, ERROR_ACCESS_DENIED}},
    {"UnlockFileEx", {ERROR_NOT_LOCKED}},
    {"CloseHandle", {ERROR_INVALID_HANDLE}},
    {"MoveFileExW", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_SAME_DEVICE}},
    {"DeleteFileW", {ERROR_ACCESS_DENIED}},
};

// The file as a save may leave it: each level old or new, every other byte as it was.
bool LevelsOldOrNew(const Bytes& now, const Bytes& original, const VolumeLevels& levels) {
  if (now.size() != original.size()) return false;
  Bytes expected = original;
  for (std::size_t slot = 0; slot < 4; ++slot) {
    const std::size_t at = kLevelsAt[slot];
    if (now[at] != original[at] && now[at] != levels[slot]) return false;
    expected[at] = now[at];
  }
  return now == expected;
}

}  // namespace

TEST(RecordWin32Sweep, EveryFailingCallLeavesFileAndBackupWholeAndNothingElse) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path backup = dir / "audio_cfg.db.bak";
  const Bytes original = Pattern(kRecordSize + 300, 7);
  const Bytes old_backup = Pattern(kRecordSize, 70);
  const VolumeLevels levels{2, 4, 6, 1};
  TempDir other;
  const fs::path elsewhere = other / "audio_cfg.db";
  WriteBytes(elsewhere, original);
  // As saved, and gone since it was loaded (then written anew); a read-only file (refused after
  // its backup); with killed saves' temporaries left at the first names; and saved again.
  for (const char* scene : {"there", "deleted", "read-only", "leftovers", "again"}) {
    const std::string what = scene;
    std::vector<std::string> clean_calls;
    for (int fail_at = 0; fail_at == 0 || fail_at <= static_cast<int>(clean_calls.size()); ++fail_at) {
      const std::string failed = fail_at == 0 ? "" : clean_calls[fail_at - 1];
      for (const DWORD error : fail_at == 0 ? std::vector<DWORD>{0} : kErrors.at(failed)) {
        SCOPED_TRACE(testing::Message()
                     << what << ", call " << fail_at << " " << failed << " fails with " << error);
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
          SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
          fs::remove(entry.path());
        }
        // The save before was of another file: it knows nothing of this one's names.
        AudioConfigRecord record;
        ASSERT_EQ(LoadInto(record, elsewhere), 0);
        ASSERT_EQ(SaveFrom(record, elsewhere, levels), 0);
        WriteBytes(file, original);
        WriteBytes(backup, old_backup);
        ASSERT_EQ(LoadInto(record, file), 0);
        if (what == "deleted") fs::remove(file);
        if (what == "read-only") SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
        const char* leftovers[] = {"audio_cfg.db.~b0", "audio_cfg.db.~b1", "audio_cfg.db.~b2",
                                   "audio_cfg.db.~b3"};
        for (const char* leftover : leftovers) {
          if (what == "leftovers") WriteBytes(dir / leftover, Pattern(kRecordSize, leftover[15]));
        }
        Bytes from = original, from_backup = old_backup;
        if (what == "again") {
          ASSERT_EQ(SaveFrom(record, file, {1, 1, 1, 1}), 0);
          from = WithLevels(original, {1, 1, 1, 1});
          from_backup = original;
        }
        Sweep sweep;
        sweep.fail_at = fail_at;
        sweep.error = error;
        int code = 0;
        {
          const SweepScope scope(sweep);
          code = SaveFrom(record, file, levels);
        }
        const int clean_code = what == "read-only" ? kInOutAccessDenied : 0;
        if (fail_at == 0) {
          ASSERT_EQ(code, clean_code);
          clean_calls = sweep.calls;
          // Whatever is written is flushed before it is renamed into place or the lock let go.
          for (auto call = clean_calls.begin(); call != clean_calls.end(); ++call) {
            if (*call != "WriteFile") continue;
            const auto next = std::find_if(call + 1, clean_calls.end(), [](const std::string& name) {
              return name == "FlushFileBuffers" || name == "MoveFileExW" || name == "UnlockFileEx" ||
                     name == "CloseHandle";
            });
            EXPECT_TRUE(next != clean_calls.end() && *next == "FlushFileBuffers");
          }
          // The backup's renames are durable before the file's first byte is written.
          const auto renamed = std::find(clean_calls.rbegin(), clean_calls.rend(), "MoveFileExW").base();
          const auto flushed = std::find(renamed, clean_calls.end(), "FlushFolder");
          EXPECT_TRUE(flushed != clean_calls.end() && std::find(renamed, flushed, "WriteFile") == flushed);
        }
        // A lock held a moment elsewhere is waited for; a file system without locks, or one that
        // cannot flush a folder, still saves.
        if ((failed == "LockFileEx" && error != ERROR_ACCESS_DENIED) ||
            (failed == "FlushFolder" && error == ERROR_INVALID_FUNCTION)) {
          EXPECT_EQ(code, clean_code);
        }
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        // Only the file and its backup, and the file whole: old, new or, deleted, still missing.
        const bool there = fs::exists(file);
        const Bytes now = there ? ReadBytes(file) : Bytes{};
        const bool saved = now == WithLevels(from, levels);
        Names names{"audio_cfg.db", "audio_cfg.db.bak"};
        if (!there) names.erase(names.begin());
        // A leftover the save could not look at is left for the next save.
        const bool unseen = code != 0 || failed == "FindFirstFileW" || failed == "FindNextFileW";
        for (const char* leftover : leftovers) {
          if (what == "leftovers" && unseen && fs::exists(dir / leftover)) names.push_back(leftover);
        }
        EXPECT_EQ(NamesIn(dir.Path()), names);
        if (there) {
          EXPECT_TRUE(LevelsOldOrNew(now, from, levels));
        }
        if (code == 0) {
          EXPECT_TRUE(saved);
        }
        // Data that may not have reached the disk is never taken for saved.
        if (failed == "WriteFile" || failed == "FlushFileBuffers" || failed == "CloseHandle") {
          EXPECT_NE(code, 0);
        }
        // The user is told what failed.
        if (failed == "ReadFile" || failed == "SetFilePointerEx") {
          EXPECT_EQ(code, static_cast<int>(error));
        }
        // The image follows the file, so the next save finds what it expects.
        EXPECT_TRUE(ImageOf(record) == (there ? now : from) || ImageOf(record) == from);
        if (saved) {
          EXPECT_EQ(ImageOf(record), now);
        }
        const Bytes now_backup = ReadBytes(backup);
        EXPECT_TRUE(now_backup == from_backup || now_backup == from);
        if (saved) {
          EXPECT_EQ(now_backup, from);
        }
        // Whatever the failure left, the next save goes through and leaves nothing else.
        if (code != 0 && what != "read-only") {
          EXPECT_EQ(SaveFrom(record, file, levels), 0);
          EXPECT_EQ(ReadBytes(file), WithLevels(from, levels));
          EXPECT_EQ(NamesIn(dir.Path()), (Names{"audio_cfg.db", "audio_cfg.db.bak"}));
        }
      }
    }
    EXPECT_GE(clean_calls.size(), 12u) << what;
  }
}

// A save killed at each call in turn, in a child process: at every one each level is old or
// new and every other byte as it was, the backup whole, and once the next save has run nothing
// is left but the file and its backup (the killed save's lock is gone with it).
TEST(RecordWin32Sweep, ASaveKilledAtAnyCallLeavesTheFileWhole) {
  const VolumeLevels levels{2, 4, 6, 1};
  wchar_t child[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"VELMORA_KILL_FILE", child, MAX_PATH) > 0) {
    AudioConfigRecord record;
    if (LoadInto(record, fs::path(child)) != 0) std::exit(1);
    Sweep sweep;
    sweep.kill = true;
    sweep.fail_at = std::atoi(std::getenv("VELMORA_KILL_AT"));
    const SweepScope scope(sweep);
    std::exit(SaveFrom(record, fs::path(child), levels));
  }
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const Bytes original = Pattern(kRecordSize + 10, 9);
  const Bytes old_backup = Pattern(kRecordSize, 90);
  SetEnvironmentVariableW(L"VELMORA_KILL_FILE", file.c_str());
  int kills = 0;
  for (int kill_at = 1;; ++kill_at) {
    SCOPED_TRACE(kill_at);
    ASSERT_LT(kill_at, 100);
    for (const auto& entry : fs::directory_iterator(dir.Path())) fs::remove(entry.path());
    WriteBytes(file, original);
    WriteBytes(dir / "audio_cfg.db.bak", old_backup);
    SetEnvironmentVariableW(L"VELMORA_KILL_AT", std::to_wstring(kill_at).c_str());
    HANDLE process = StartThisTestAgain();
    ASSERT_NE(process, nullptr);
    const DWORD code = ExitCodeOf(process);
    const Bytes now = ReadBytes(file);
    EXPECT_TRUE(LevelsOldOrNew(now, original, levels));
    const Bytes backup = ReadBytes(dir / "audio_cfg.db.bak");
    EXPECT_TRUE(backup == old_backup || backup == original);
    for (const std::string& name : NamesIn(dir.Path())) {
      EXPECT_TRUE(name == "audio_cfg.db" || name == "audio_cfg.db.bak" || name == "audio_cfg.db.~b0") << name;
    }
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    EXPECT_EQ(SaveFrom(record, file, {3, 3, 3, 3}), 0);
    EXPECT_EQ(NamesIn(dir.Path()), (Names{"audio_cfg.db", "audio_cfg.db.bak"}));
    if (code != Sweep::kKilled) {
      EXPECT_EQ(code, 0u);
      break;
    }
    ++kills;
  }
  SetEnvironmentVariableW(L"VELMORA_KILL_FILE", nullptr);
  std::printf("killed at %d calls in turn\n", kills);
  EXPECT_GT(kills, 12);
}

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
  STARTUPINFOW startup{sizeof startup};
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
