#pragma once
// What the program needs from Windows beyond XP SP3: found at run time, each with a fallback, so
// the one exe starts on every Windows from XP SP3 on. System DLLs load by full path.
#include <windows.h>

// Sent from Windows 8.1 on when the window's monitor changes DPI; XP's headers do not name it.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// A function that older Windows lack, from a system DLL the program has already loaded; null
// where this Windows lacks it (or the test seam hides it).
FARPROC NewerFunction(const wchar_t* module, const char* name);

template <typename Function>
Function NewerFunctionAs(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(NewerFunction(module, name)));
}

// The DPI the screen is drawn at for the whole session: what every window gets before Windows 10
// version 1607, which tells each window its own monitor's DPI.
int SystemDpi();

// The DPI a window is laid out at: its monitor's where Windows can tell, else the system DPI.
int WindowDpi(HWND hwnd);

// The frame round a client rectangle at a DPI; before Windows 10 version 1607 the frame is
// measured at the system DPI, which is then the window's DPI too.
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// Loads a DLL from the system folder by its full path, so no other folder is ever searched,
// without the loader flags that XP, Vista and an un-updated Windows 7 lack.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Test seam: while set, NewerFunction() finds nothing, as on Windows XP, so every caller takes
// its fallback. Returns the previous setting.
bool HideNewerFunctions(bool hide);
