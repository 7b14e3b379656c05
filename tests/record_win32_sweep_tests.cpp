// Loading and saving on real files with each Win32 call they make failing in turn, with the
// errors that call really returns, or the program ending there.
#include "record_sweep.h"

namespace {

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
