#pragma once
// Small helpers named by the window or control they act on, so handlers read as what they do
// rather than as messages and casts.
#include <windows.h>

#include <commctrl.h>

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

inline void UpDownSetBuddy(HWND upDown, HWND buddy) {
  SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
}

inline void UpDownSetRange(HWND upDown, int low, int high) {
  SendMessageW(upDown, UDM_SETRANGE32, low, high);
}

inline void UpDownSetPos(HWND upDown, int position) { SendMessageW(upDown, UDM_SETPOS32, 0, position); }

inline void WindowSetIcon(HWND hwnd, WPARAM which, HICON icon) {
  SendMessageW(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
}

inline void EditSetMargins(HWND edit, int left, int right) {
  SendMessageW(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(left, right));
}

// Selects characters start to end; start == end places the caret there.
inline void EditSetSelection(HWND edit, int start, int end) { SendMessageW(edit, EM_SETSEL, start, end); }

inline void ButtonSetCheck(HWND button, bool checked) {
  SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

inline bool ButtonGetCheck(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

// Right edges of the parts in client pixels; -1 runs the last part to the bar's right edge.
template <std::size_t N>
void StatusBarSetParts(HWND statusBar, const int (&rightEdges)[N]) {
  SendMessageW(statusBar, SB_SETPARTS, N, reinterpret_cast<LPARAM>(rightEdges));
}

inline void StatusBarSetText(HWND statusBar, int part, const std::wstring& text) {
  SendMessageW(statusBar, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

// The part's rectangle in the bar's client pixels, its border included.
inline RECT StatusBarPartRect(HWND statusBar, int part) {
  RECT r{};
  SendMessageW(statusBar, SB_GETRECT, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&r));
  return r;
}
