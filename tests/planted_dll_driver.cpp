// Starts the program in its own folder, as a double click does, opens and cancels its open
// dialog, then closes it: every DLL the program loads on the way has then been loaded.
//   planted_dll_driver.exe C:\path\velmora.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/layout.h"

namespace {

struct Search {
  DWORD process;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM lParam) {
  auto& search = *reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  wchar_t className[64] = {};
  GetWindowThreadProcessId(hwnd, &owner);
  GetClassNameW(hwnd, className, 64);
  if (owner != search.process || wcscmp(className, search.className) != 0) return TRUE;
  search.found = hwnd;
  return FALSE;
}

// The process's top-level window of that class, waited for up to 30 s.
HWND WaitForWindow(HANDLE process, DWORD id, const wchar_t* className) {
  for (int i = 0; i < 300; ++i) {
    Search search{id, className, nullptr};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::wstring exe = argv[1];
  std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &si, &pi)) {
    std::printf("cannot start the program: error %lu\n", GetLastError());
    return 1;
  }
  const char* failure = nullptr;
  HWND form = WaitForWindow(pi.hProcess, pi.dwProcessId, L"TForm1");
  if (!form) {
    failure = "the window did not appear";
  } else {
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(BitBtn1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(form, BitBtn1)));
    HWND dialog = WaitForWindow(pi.hProcess, pi.dwProcessId, L"#32770");
    if (!dialog) failure = "the open dialog did not appear";
    if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; dialog && IsWindow(dialog) && i < 100; ++i) Sleep(100);
    PostMessageW(form, WM_CLOSE, 0, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    if (!failure) failure = "the program did not close";
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (failure) std::printf("%s (exit code %#lx)\n", failure, exitCode);
  return failure ? 1 : 0;
}
