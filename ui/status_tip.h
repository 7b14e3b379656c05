#pragma once
// The full path of the open file, shown as a tooltip while the pointer rests on the status
// message, so a user who keeps copies of the file can tell which one is open.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "ui/controls.h"

class StatusTip {
 public:
  // The tooltip, owned by the bar's window, for part 0 of the bar.
  void Create(const StatusBar& bar);
  // An empty text (no file chosen yet) shows no tip.
  void SetText(const std::wstring& text);
  // Follows part 0 when the bar's parts change size.
  void Place();
  HWND Handle() const { return tip_; }

 private:
  TTTOOLINFOW Tool();

  HWND tip_ = nullptr;
  StatusBar bar_;
  std::wstring text_;
};
