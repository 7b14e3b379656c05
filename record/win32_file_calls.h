#pragma once
// Every Win32 call the file back-end makes goes through this one table, so that a test can make
// any of them fail the way it really fails. The program never changes it.
#include <windows.h>

// GetFileInformationByHandleEx's class and structure, which XP's headers do not name.
constexpr int kFileStandardInfo = 1;
struct StandardInformation {
  LARGE_INTEGER AllocationSize;
  LARGE_INTEGER EndOfFile;
  DWORD NumberOfLinks;
  BOOLEAN DeletePending;
  BOOLEAN Directory;
};

struct Win32FileCalls {
  decltype(&::GetFullPathNameW) GetFullPathNameW = ::GetFullPathNameW;
  decltype(&::GetLongPathNameW) GetLongPathNameW = ::GetLongPathNameW;
  decltype(&::FindFirstFileW) FindFirstFileW = ::FindFirstFileW;
  decltype(&::GetFileAttributesW) GetFileAttributesW = ::GetFileAttributesW;
  decltype(&::CreateFileW) CreateFileW = ::CreateFileW;
  decltype(&::GetFileInformationByHandle) GetFileInformationByHandle = ::GetFileInformationByHandle;
  decltype(&::GetFileSizeEx) GetFileSizeEx = ::GetFileSizeEx;
  decltype(&::ReadFile) ReadFile = ::ReadFile;
  decltype(&::WriteFile) WriteFile = ::WriteFile;
  decltype(&::FlushFileBuffers) FlushFileBuffers = ::FlushFileBuffers;
  decltype(&::CloseHandle) CloseHandle = ::CloseHandle;
  decltype(&::MoveFileExW) MoveFileExW = ::MoveFileExW;
  decltype(&::ReplaceFileW) ReplaceFileW = ::ReplaceFileW;
  decltype(&::DeleteFileW) DeleteFileW = ::DeleteFileW;
  decltype(&::CreateMutexW) CreateMutexW = ::CreateMutexW;
  decltype(&::WaitForSingleObject) WaitForSingleObject = ::WaitForSingleObject;
  // Vista and later, from the table of functions found at run time; null on XP (or when the test
  // seam hides them), which takes the fallbacks.
  DWORD(WINAPI* GetFinalPathNameByHandleW)(HANDLE, LPWSTR, DWORD, DWORD) = nullptr;
  BOOL(WINAPI* GetFileInformationByHandleEx)(HANDLE, int, LPVOID, DWORD) = nullptr;
};

// The table the back-end calls through.
Win32FileCalls& FileCalls();
