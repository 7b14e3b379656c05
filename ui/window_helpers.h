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

// Subclasses a control the classic way, its previous window procedure kept in its user data (the
// application's to use). comctl32's SetWindowSubclass looks its chain up in a window property at
// every message, which under Wine is a trip to the wineserver each time.
inline void HwndSubclass(HWND hwnd, WNDPROC proc) {
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

// Hands a message to the procedure the control had before HwndSubclass.
inline LRESULT HwndCallPrevious(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)), hwnd, message,
                         wParam, lParam);
}

inline void WindowSetIcon(HWND hwnd, WPARAM which, HICON icon) {
  SendMessageW(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}
