#pragma once
// The DPI the window is laid out at, on every Windows from XP SP3 on: the newer functions come
// from the run-time table (system/system_functions.h), each with a fallback here.
#include <windows.h>

// Sent from Windows 8.1 on when the window's monitor changes DPI; XP's headers do not name it.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The DPI the screen is drawn at for the whole session: what every window gets before Windows 10
// version 1607, which tells each window its own monitor's DPI.
int SystemDpi();

// The DPI a window is laid out at: its monitor's where Windows can tell, else the system DPI.
int WindowDpi(HWND hwnd);

// The frame round a client rectangle at a DPI; before Windows 10 version 1607 the frame is
// measured at the system DPI, which is then the window's DPI too.
bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);
