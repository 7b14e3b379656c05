// Starts the program in its own folder, as a double click does, opens and cancels its open
// dialog, then closes it: every DLL the program loads on the way has then been loaded.
//   planted_dll_driver.exe C:\path\velmora.exe
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/layout.h"

// The top-level window of that class and title, waited for up to 30 s while the program runs.
static HWND WaitForWindow(HANDLE process, const wchar_t* className, const wchar_t* title) {
  for (int i = 0; i < 300 && WaitForSingleObject(process, 100) == WAIT_TIMEOUT; ++i) {
    if (HWND found = FindWindowW(className, title)) return found;
  }
  return nullptr;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::wstring exe = argv[1], commandLine = L"\"" + exe + L"\"";
  std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                      &si, &pi))
    return 1;
  HWND form = WaitForWindow(pi.hProcess, L"TForm1", nullptr);
  if (form) PostMessageW(form, WM_COMMAND, MAKEWPARAM(BitBtn1, BN_CLICKED), 0);
  HWND dialog = form ? WaitForWindow(pi.hProcess, L"#32770", nullptr) : nullptr;
  if (dialog) SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  if (form) PostMessageW(form, WM_CLOSE, 0, 0);
  bool closed = WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0;
  if (!closed) TerminateProcess(pi.hProcess, 1);
  std::printf("window %s, open dialog %s, %s\n", form ? "shown" : "NOT shown", dialog ? "shown" : "NOT shown",
              closed ? "closed" : "did NOT close");
  return form && dialog && closed ? 0 : 1;
}
