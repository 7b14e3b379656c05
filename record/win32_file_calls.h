#pragma once
// Every Win32 call that loading and saving make goes through this one table, so that a test can
// make any of them fail the way it really fails, slow it down, or end the program there. The
// program never changes it. Not in it: the quiet closes of handles a failure leaves behind
// (the owners in system/resource.h), whose failure nobody could be told of.
#include <windows.h>

struct Win32FileCalls {
  decltype(&::GetFullPathNameW) GetFullPathNameW = ::GetFullPathNameW;
  decltype(&::GetLongPathNameW) GetLongPathNameW = ::GetLongPathNameW;
  decltype(&::FindFirstFileW) FindFirstFileW = ::FindFirstFileW;
  decltype(&::FindNextFileW) FindNextFileW = ::FindNextFileW;
  decltype(&::GetFileAttributesExW) GetFileAttributesExW = ::GetFileAttributesExW;
  decltype(&::CreateFileW) CreateFileW = ::CreateFileW;
  decltype(&::GetFileInformationByHandle) GetFileInformationByHandle = ::GetFileInformationByHandle;
  decltype(&::GetFileSizeEx) GetFileSizeEx = ::GetFileSizeEx;
  decltype(&::GetFileType) GetFileType = ::GetFileType;
  decltype(&::SetFilePointerEx) SetFilePointerEx = ::SetFilePointerEx;
  decltype(&::ReadFile) ReadFile = ::ReadFile;
  decltype(&::WriteFile) WriteFile = ::WriteFile;
  decltype(&::FlushFileBuffers) FlushFileBuffers = ::FlushFileBuffers;
  decltype(&::LockFileEx) LockFileEx = ::LockFileEx;
  decltype(&::UnlockFileEx) UnlockFileEx = ::UnlockFileEx;
  decltype(&::CloseHandle) CloseHandle = ::CloseHandle;
  decltype(&::MoveFileExW) MoveFileExW = ::MoveFileExW;
  decltype(&::DeleteFileW) DeleteFileW = ::DeleteFileW;
  decltype(&::Sleep) Sleep = ::Sleep;
  // advapi32, found at run time as the program imports it nowhere else; null where it is missing.
  decltype(&::GetKernelObjectSecurity) GetKernelObjectSecurity = nullptr;
  // ntdll: a file's index alone; null where it is missing.
  LONG(WINAPI* NtQueryInformationFile)
  (HANDLE, void* status, void* information, ULONG length, int kind) = nullptr;
  // Under Wine the folders are Linux ones: letter case tells names apart, and a name's limit is
  // 255 bytes of UTF-8, not 255 UTF-16 units.
  bool linuxNames = false;
};

// The table loading and saving call through.
Win32FileCalls& FileCalls();
