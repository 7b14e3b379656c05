#pragma once
// The full path of the open file, shown as a tooltip while the pointer rests on the status
// message, so a user who keeps copies of the file can tell which one is open.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "ui/controls.h"

class StatusTip {
 public:
  // The bar whose part 0 the tip is for; the tip itself is made with its first text, as nothing
  // shows before a file is chosen.
  void Attach(const StatusBar& bar) { bar_ = bar; }
  // Makes the tip if there is none yet; true if it did. An empty text shows no tip. Lines break
  // at "\r\n", and wherever they would be wider than half the screen.
  bool SetText(const std::wstring& text);
  // Follows part 0 when the bar's parts change size.
  void Place();
  HWND Handle() const { return tip_; }

 private:
  TTTOOLINFOW Tool();

  HWND tip_ = nullptr;
  StatusBar bar_;
  std::wstring text_;
};
