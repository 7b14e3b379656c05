#pragma once
// Small helpers named by the window or control they act on, so handlers read as what they do
// rather than as messages and casts.
#include <windows.h>

#include <string>

inline std::wstring HwndText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)), L'\0');
  int length = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size() + 1));
  text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
  return text;
}

inline void HwndSetText(HWND hwnd, const wchar_t* text) { SetWindowTextW(hwnd, text); }

inline void HwndSetFont(HWND hwnd, HFONT font, bool redraw) {
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

inline HFONT HwndFont(HWND hwnd) { return reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)); }

inline void WindowSetIcon(HWND hwnd, WPARAM which, HICON icon) {
  SendMessageW(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}
