#pragma once
// The sweep's harness: every call of the back-end's table passed on, failed with the error it
// really returns, ended at, or used as the moment another program acts, one call at a time.
#include <functional>
#include <map>
#include <type_traits>

#include "record/win32_file.h"
#include "record_test_support.h"

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
inline Sweep* g_sweep = nullptr;

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

inline BOOL WINAPI FailingClose(HANDLE handle) {
  const BOOL closed = g_sweep->real.CloseHandle(handle);  // a failing close still closes
  if (!g_sweep->Due("CloseHandle")) return closed;
  SetLastError(g_sweep->error);
  return FALSE;
}

// Wine on a full disk has answered success with part of the bytes written; here with none.
constexpr DWORD kWroteNothing = ~DWORD{0};
inline BOOL WINAPI FailingWrite(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                                LPOVERLAPPED overlapped) {
  if (!g_sweep->Due("WriteFile")) return g_sweep->real.WriteFile(file, bytes, count, written, overlapped);
  if (g_sweep->error == kWroteNothing) return *written = 0, TRUE;
  SetLastError(g_sweep->error);
  return FALSE;
}

// A folder's flush goes by a name of its own, so that its place among the calls shows.
inline BOOL WINAPI FailingFlush(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION data{};
  const bool folder = g_sweep->real.GetFileInformationByHandle(handle, &data) &&
                      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!g_sweep->Due(folder ? "FlushFolder" : "FlushFileBuffers"))
    return g_sweep->real.FlushFileBuffers(handle);
  SetLastError(g_sweep->error);
  return FALSE;
}

inline void WINAPI CountedSleep(DWORD milliseconds) {
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

// The file as a save may leave it: each level old or new, every other byte as it was.
inline bool LevelsOldOrNew(const Bytes& now, const Bytes& original, const VolumeLevels& levels) {
  if (now.size() != original.size()) return false;
  Bytes expected = original;
  for (std::size_t slot = 0; slot < 4; ++slot) {
    const std::size_t at = kLevelsAt[slot];
    if (now[at] != original[at] && now[at] != levels[slot]) return false;
    expected[at] = now[at];
  }
  return now == expected;
}
