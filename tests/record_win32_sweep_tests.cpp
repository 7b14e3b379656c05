// The Win32 back-end on real files with each Win32 call it makes failing in turn, with the
// errors that call really returns. ReplaceFileW also leaves done what its contract says: 1176
// and 1177 have taken the replaced file away.
#include <map>
#include <type_traits>

#include "record/win32_file.h"
#include "record_test_support.h"

namespace {

struct Sweep {
  Win32FileCalls real;
  int fail_at = 0;
  DWORD error = 0;
  bool kill = false;              // the program ends at the call instead
  std::wstring elsewhere;         // where a 1177 leaves the replaced file
  std::wstring swapIn, swapOver;  // instead, another program renames a file of its own over the save's
  bool swapped = false;
  std::vector<std::string> calls;

  bool Due(const char* name) {
    calls.push_back(name);
    if (static_cast<int>(calls.size()) != fail_at) return false;
    if (kill) TerminateProcess(GetCurrentProcess(), kKilled);
    if (swapIn.empty()) return true;
    swapped = real.MoveFileExW(swapIn.c_str(), swapOver.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    return false;
  }
  static constexpr UINT kKilled = 99;
};
Sweep* g_sweep = nullptr;

template <typename T>
T FailureOf(const char* name) {
  if constexpr (std::is_same_v<T, HANDLE>) {
    return std::string(name) == "CreateMutexW" ? nullptr : INVALID_HANDLE_VALUE;
  } else if constexpr (std::is_same_v<T, DWORD>) {
    return std::string(name) == "GetFileAttributesW" ? INVALID_FILE_ATTRIBUTES : 0;
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
    return FailureOf<R>(name);
  }
};

BOOL WINAPI FailingClose(HANDLE handle) {
  const BOOL closed = g_sweep->real.CloseHandle(handle);  // a failing close still closes
  if (!g_sweep->Due("CloseHandle")) return closed;
  SetLastError(g_sweep->error);
  return FALSE;
}

DWORD WINAPI FailingWait(HANDLE handle, DWORD milliseconds) {
  if (!g_sweep->Due("WaitForSingleObject")) return g_sweep->real.WaitForSingleObject(handle, milliseconds);
  if (g_sweep->error == WAIT_TIMEOUT) return WAIT_TIMEOUT;  // another save holds the file
  SetLastError(g_sweep->error);
  return WAIT_FAILED;
}

BOOL WINAPI FailingReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID exclude,
                           LPVOID reserved) {
  if (!g_sweep->Due("ReplaceFileW")) {
    return g_sweep->real.ReplaceFileW(replaced, replacement, backup, flags, exclude, reserved);
  }
  if (g_sweep->error == ERROR_UNABLE_TO_MOVE_REPLACEMENT) DeleteFileW(replaced);
  if (g_sweep->error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
    MoveFileExW(replaced, g_sweep->elsewhere.c_str(), 0);
  SetLastError(g_sweep->error);
  return FALSE;
}

template <auto Member>
void Install(Win32FileCalls& calls, const char* name) {
  Failing<Member>::name = name;
  calls.*Member = &Failing<Member>::Call;
}

// Makes every call of the back-end go through the sweep while it lives.
class SweepScope {
 public:
  explicit SweepScope(Sweep& sweep, bool replaceByRename) : saved_(FileCalls()) {
    sweep.real = saved_;
    g_sweep = &sweep;
    Win32FileCalls& calls = FileCalls();
    Install<&Win32FileCalls::GetFullPathNameW>(calls, "GetFullPathNameW");
    Install<&Win32FileCalls::GetLongPathNameW>(calls, "GetLongPathNameW");
    Install<&Win32FileCalls::FindFirstFileW>(calls, "FindFirstFileW");
    Install<&Win32FileCalls::GetFileAttributesW>(calls, "GetFileAttributesW");
    Install<&Win32FileCalls::CreateFileW>(calls, "CreateFileW");
    Install<&Win32FileCalls::GetFileInformationByHandle>(calls, "GetFileInformationByHandle");
    Install<&Win32FileCalls::GetFileSizeEx>(calls, "GetFileSizeEx");
    Install<&Win32FileCalls::ReadFile>(calls, "ReadFile");
    Install<&Win32FileCalls::WriteFile>(calls, "WriteFile");
    Install<&Win32FileCalls::FlushFileBuffers>(calls, "FlushFileBuffers");
    Install<&Win32FileCalls::MoveFileExW>(calls, "MoveFileExW");
    Install<&Win32FileCalls::DeleteFileW>(calls, "DeleteFileW");
    Install<&Win32FileCalls::CreateMutexW>(calls, "CreateMutexW");
    calls.CloseHandle = FailingClose;
    calls.WaitForSingleObject = FailingWait;
    calls.ReplaceFileW = FailingReplace;
    calls.replaceByRename = replaceByRename;
    if (calls.GetFinalPathNameByHandleW != nullptr) {
      Install<&Win32FileCalls::GetFinalPathNameByHandleW>(calls, "GetFinalPathNameByHandleW");
    }
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
    {"GetFileAttributesW", {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED}},
    {"CreateFileW", {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_FILE_EXISTS, ERROR_DISK_FULL}},
    {"GetFileInformationByHandle", {ERROR_ACCESS_DENIED}},
    {"GetFileSizeEx", {ERROR_ACCESS_DENIED}},
    {"ReadFile", {ERROR_READ_FAULT, ERROR_LOCK_VIOLATION}},
    {"WriteFile", {ERROR_DISK_FULL, ERROR_WRITE_FAULT}},
    {"FlushFileBuffers", {ERROR_IO_DEVICE}},
    {"CloseHandle", {ERROR_INVALID_HANDLE}},
    {"MoveFileExW",
     {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_NOT_SAME_DEVICE, ERROR_ALREADY_EXISTS}},
    {"ReplaceFileW",
     {ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT, ERROR_UNABLE_TO_MOVE_REPLACEMENT_2,
      ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}},
    {"DeleteFileW", {ERROR_ACCESS_DENIED}},
    {"CreateMutexW", {ERROR_ACCESS_DENIED}},
    {"WaitForSingleObject", {WAIT_TIMEOUT, ERROR_INVALID_HANDLE}},
    {"GetFinalPathNameByHandleW", {ERROR_NOT_SUPPORTED}},
};

}  // namespace

TEST(RecordWin32Sweep, EveryFailingCallLeavesFileAndBackupWholeAndNothingElse) {
  TempDir dir;
  TempDir other;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path backup = dir / "audio_cfg.db.bak";
  const Bytes original = Pattern(kRecordSize + 300, 7);
  const Bytes old_backup = Pattern(kRecordSize, 70);
  const VolumeLevels levels{2, 4, 6, 1};
  int runs = 0;
  // Wine's way (one rename) and Windows' (ReplaceFileW past the held file, its errors by contract).
  for (const bool rename : {true, false})
    for (const bool deleted : {false, true}) {
      std::vector<std::string> clean_calls;
      for (int fail_at = 0; fail_at == 0 || fail_at <= static_cast<int>(clean_calls.size()); ++fail_at) {
        const std::vector<DWORD> errors =
            fail_at == 0 ? std::vector<DWORD>{0} : kErrors.at(clean_calls[fail_at - 1]);
        for (const DWORD error : errors) {
          SCOPED_TRACE(testing::Message()
                       << "rename " << rename << ", deleted " << deleted << ", call " << fail_at << " "
                       << (fail_at ? clean_calls[fail_at - 1] : "none") << " fails with " << error);
          for (const auto& entry : fs::directory_iterator(dir.Path())) fs::remove(entry.path());
          WriteBytes(file, original);
          WriteBytes(backup, old_backup);
          AudioConfigRecord record;
          ASSERT_EQ(LoadInto(record, file), 0);
          if (deleted) fs::remove(file);
          Sweep sweep;
          sweep.fail_at = fail_at;
          sweep.error = error;
          sweep.elsewhere = (other / ("replaced" + std::to_string(++runs))).native();
          int code = 0;
          {
            const SweepScope scope(sweep, rename);
            code = SaveFrom(record, file, levels);
          }
          if (fail_at == 0) {
            ASSERT_EQ(code, 0);
            clean_calls = sweep.calls;
          }
          // Only the file and its backup; the file whole, old or new, or, deleted, still missing.
          const bool saved = fs::exists(file) && ReadBytes(file) == WithLevels(original, levels);
          EXPECT_EQ(NamesIn(dir.Path()),
                    (!deleted || saved ? std::vector<std::string>{"audio_cfg.db", "audio_cfg.db.bak"}
                                       : std::vector<std::string>{"audio_cfg.db.bak"}));
          if (!deleted && !saved) {
            EXPECT_EQ(ReadBytes(file), original);
          }
          EXPECT_EQ(code == 0, saved);
          // Data that may not have reached the disk is never taken for saved.
          const std::string failed = fail_at == 0 ? "" : clean_calls[fail_at - 1];
          if (failed == "WriteFile" || failed == "FlushFileBuffers" || failed == "CloseHandle") {
            EXPECT_NE(code, 0);
          }
          // The user is told what failed, and of a save under way that it is busy.
          if (failed == "ReadFile" ||
              (failed == "GetFileAttributesW" && !deleted && error == ERROR_ACCESS_DENIED)) {
            EXPECT_EQ(code, static_cast<int>(error));
          }
          if (failed == "WaitForSingleObject" && error == WAIT_TIMEOUT) {
            EXPECT_EQ(code, ERROR_SHARING_VIOLATION);
          }
          // A failed ReplaceFileW is tried again without the held file, as XP needs, or its file moved in.
          if (failed == "ReplaceFileW") {
            EXPECT_EQ(code, 0);
          }
          EXPECT_EQ(ImageOf(record), saved ? WithLevels(original, levels) : original);
          const Bytes now_backup = ReadBytes(backup);
          EXPECT_TRUE(now_backup == old_backup || now_backup == original);
          if (saved) {
            EXPECT_EQ(now_backup, original);
          }
          // Whatever the failure left, the next save goes through.
          if (!saved) {
            EXPECT_EQ(SaveFrom(record, file, levels), 0);
            EXPECT_EQ(ReadBytes(file), WithLevels(original, levels));
          }
        }
      }
      EXPECT_GE(clean_calls.size(), 20u);
    }
}

// A save killed at each call of the back-end in turn, in a child process: at every one the file
// is whole, old or new, the backup too, nothing but the save's own temporary is left, and the
// next save goes through (the lock the killed save held included).
TEST(RecordWin32Sweep, ASaveKilledAtAnyCallLeavesTheFileWhole) {
  const VolumeLevels levels{2, 4, 6, 1};
  wchar_t child[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"VELMORA_KILL_FILE", child, MAX_PATH) > 0) {
    AudioConfigRecord record;
    if (LoadInto(record, fs::path(child)) != 0) std::exit(1);
    Sweep sweep;
    sweep.kill = true;
    sweep.fail_at = std::atoi(std::getenv("VELMORA_KILL_AT"));
    const SweepScope scope(sweep, FileCalls().replaceByRename);
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
    // Held here too, the lock of a killed save outlives it, abandoned, as when another save waits.
    const FileIdentity identity = IdentityOf(OpenForIdentity(file.native()).get());
    const UniqueMutex lock(
        CreateMutexW(nullptr, FALSE, SaveLockName(identity.volume, identity.index).c_str()));
    HANDLE process = StartThisTestAgain();
    ASSERT_NE(process, nullptr);
    const DWORD code = ExitCodeOf(process);
    const Bytes now = ReadBytes(file);
    EXPECT_TRUE(now == original || now == WithLevels(original, levels));
    const Bytes backup = ReadBytes(dir / "audio_cfg.db.bak");
    EXPECT_TRUE(backup == old_backup || backup == original);
    for (const std::string& name : NamesIn(dir.Path())) {
      EXPECT_TRUE(name == "audio_cfg.db" || name == "audio_cfg.db.bak" || name == "audio_cfg.db.~vm") << name;
    }
    AudioConfigRecord record;
    ASSERT_EQ(LoadInto(record, file), 0);
    EXPECT_EQ(SaveFrom(record, file, {3, 3, 3, 3}), 0);
    if (code != Sweep::kKilled) {
      EXPECT_EQ(code, 0u);
      break;
    }
    ++kills;
  }
  SetEnvironmentVariableW(L"VELMORA_KILL_FILE", nullptr);
  std::printf("killed at %d calls in turn\n", kills);
  EXPECT_GT(kills, 20);
}

namespace {
const wchar_t* g_watched = nullptr;
std::vector<DWORD> g_writerErrors;
// Before each rename of the save, another program tries to write the file.
BOOL WINAPI MoveWatchingWriters(LPCWSTR from, LPCWSTR to, DWORD flags) {
  HANDLE writer =
      CreateFileW(g_watched, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  g_writerErrors.push_back(writer == INVALID_HANDLE_VALUE ? GetLastError() : 0);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  return MoveFileExW(from, to, flags);
}
}  // namespace

// From the check of the file's bytes to the backup's rename, no other program may write it.
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

// Another program renames a file of its own over the file at each call of a save in turn: once
// it has, the save is refused and never replaces that file (but for the instant before the
// rename itself under Wine, which must close the file first).
TEST(RecordWin32Sweep, AFileSwappedInDuringASaveIsNeverReplaced) {
  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  const fs::path theirs = dir / "theirs.db";
  const Bytes original = Pattern(kRecordSize, 6);
  const Bytes their_bytes = Pattern(kRecordSize, 66);
  for (const bool rename : {true, false}) {
    int swaps = 0;
    for (int at = 1;; ++at) {
      SCOPED_TRACE(testing::Message() << "rename " << rename << ", swapped at call " << at);
      ASSERT_LT(at, 100);
      for (const auto& entry : fs::directory_iterator(dir.Path())) fs::remove(entry.path());
      WriteBytes(file, original);
      WriteBytes(theirs, their_bytes);
      AudioConfigRecord record;
      ASSERT_EQ(LoadInto(record, file), 0);
      Sweep sweep;
      sweep.fail_at = at;
      sweep.swapIn = theirs.native();
      sweep.swapOver = file.native();
      int code = 0;
      {
        const SweepScope scope(sweep, rename);
        code = SaveFrom(record, file, {1, 2, 3, 4});
      }
      if (at > static_cast<int>(sweep.calls.size())) break;
      // Between the last look and the rename itself no program can keep another out.
      if (at == static_cast<int>(sweep.calls.size()) && rename) continue;
      EXPECT_EQ(code == 0, !sweep.swapped);
      if (sweep.swapped) {
        ++swaps;
        EXPECT_EQ(ReadBytes(file), their_bytes);
      }
    }
    EXPECT_GT(swaps, 3);
  }
}
