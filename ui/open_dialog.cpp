#include "ui/open_dialog.h"

#include <commdlg.h>

#include <vector>

#include "system/system_functions.h"
#include "ui/app_title.h"
#include "ui/layout.h"

namespace {

// Room for the longest path Windows accepts, so a long-path name is never cut.
constexpr DWORD kPathBufferChars = 32768;

// Once laid out, the dialog goes where the window's monitor asks.
UINT_PTR OnInitDone(HWND hookWindow) {
  // With an explorer-style hook, hookWindow is a child of the real dialog.
  HWND dialog = GetParent(hookWindow);
  HWND owner = GetWindow(dialog, GW_OWNER);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT r{};
  GetWindowRect(dialog, &r);
  const RECT& m = monitor.rcMonitor;
  LayoutPoint p = OpenDialogPosition({m.left, m.top, m.right - m.left, m.bottom - m.top}, r.right - r.left,
                                     r.bottom - r.top);
  SetWindowPos(dialog, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

UINT_PTR CALLBACK OpenDialogHook(HWND hookWindow, UINT message, WPARAM, LPARAM lParam) {
  const bool initDone = message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE;
  return initDone ? OnInitDone(hookWindow) : 0;
}

}  // namespace

bool TOpenDialog::Execute(HWND owner) {
  static const wchar_t kFilter[] = L"audio_cfg.db\0audio_cfg.db\0";
  std::vector<wchar_t> buffer(kPathBufferChars, L'\0');
  fileName_.copy(buffer.data(), buffer.size() - 1);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrTitle = kAppTitle;
  // No existence checks and no prompts: the load reports what is wrong with the name.
  ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  ofn.lpfnHook = OpenDialogHook;
  // The common dialog library is loaded on first use, not at start-up, and stays loaded.
  static const auto getOpenFileName = kGetOpenFileNameW.Find();
  if (!getOpenFileName || !getOpenFileName(&ofn)) return false;  // a dialog that fails counts as cancel
  fileName_ = buffer.data();
  return true;
}
