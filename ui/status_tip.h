#pragma once
// The full path of the open file, shown as a tooltip while the pointer rests on the status
// message, so a user who keeps copies of the file can tell which one is open.
#include <windows.h>

#include <commctrl.h>

#include <string>

class StatusTip {
 public:
  // The tooltip, owned by the bar's window, for part 0 of the bar.
  void Create(HWND statusBar);
  // An empty text (no file chosen yet) shows no tip.
  void SetText(const std::wstring& text);
  // Follows part 0 when the bar's parts change size.
  void Place();
  HWND Handle() const { return tip_; }

 private:
  TTTOOLINFOW Tool();

  HWND tip_ = nullptr;
  HWND bar_ = nullptr;
  std::wstring text_;
};
