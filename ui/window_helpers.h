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

// Takes the keyboard and mouse input queued for this thread's windows off the queue unseen.
inline void DropQueuedInput() {
  // Taking an F1 key press off the queue posts this (WM_KEYF1, which XP's headers do not name);
  // it would become WM_HELP. So it goes after the keys.
  constexpr UINT kKeyF1 = 0x004D;
  struct Range {
    UINT first, last;
  };
  constexpr Range kInput[] = {{WM_KEYFIRST, WM_KEYLAST},
                              {kKeyF1, kKeyF1},
                              {WM_MOUSEFIRST, WM_MOUSELAST},
                              {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
  MSG msg;
  for (const Range& range : kInput) {
    while (PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE)) {
      // Whatever the range, a quit message comes out too: it is put back for the loop.
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
    }
  }
}
