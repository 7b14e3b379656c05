#pragma once
// Every Win32 call the file back-end makes goes through this one table, so that a test can make
// any of them fail the way it really fails, or end the program there. The program never
// changes it.
#include <windows.h>

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
  // seam hides it), which takes the fallback.
  DWORD(WINAPI* GetFinalPathNameByHandleW)(HANDLE, LPWSTR, DWORD, DWORD) = nullptr;
  // Wine's ReplaceFileW moves the file aside before it moves the new one in, leaving the name
  // empty for a moment; there the file is replaced by one rename, which never does.
  bool replaceByRename = false;
};

// The table the back-end calls through.
Win32FileCalls& FileCalls();
