#pragma once
// Thin typed wrappers round the child windows the form drives, one per kind (as 7-Zip's
// NWindows::NControl): an edit box cannot be passed where an up-down is expected. They own
// nothing: a child window belongs to its parent.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "ui/window_helpers.h"

class ControlWindow {
 public:
  ControlWindow() = default;
  explicit ControlWindow(HWND hwnd) : hwnd_(hwnd) {}
  HWND Handle() const { return hwnd_; }
  std::wstring Text() const { return HwndText(hwnd_); }
  void SetText(const wchar_t* text) const { HwndSetText(hwnd_, text); }
  void SetFont(HFONT font, bool redraw) const { HwndSetFont(hwnd_, font, redraw); }
  bool HasFocus() const { return GetFocus() == hwnd_; }
  void Focus() const { SetFocus(hwnd_); }

 private:
  HWND hwnd_ = nullptr;
};

class EditBox : public ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  void SetMargins(int left, int right) const {
    SendMessageW(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(left, right));
  }
  // Selects characters start to end; start == end places the caret there.
  void SetSelection(int start, int end) const { SendMessageW(Handle(), EM_SETSEL, start, end); }
};

class UpDown : public ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  void SetBuddy(const EditBox& buddy) const {
    SendMessageW(Handle(), UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy.Handle()), 0);
  }
  void SetRange(int low, int high) const { SendMessageW(Handle(), UDM_SETRANGE32, low, high); }
  void SetPos(int position) const { SendMessageW(Handle(), UDM_SETPOS32, 0, position); }
};

class Button : public ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  void Click() const { SendMessageW(Handle(), BM_CLICK, 0, 0); }
  void SetCheck(bool checked) const {
    SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  bool Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
};

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

class StatusBar : public ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  template <std::size_t N>
  void SetParts(const int (&rightEdges)[N]) const {
    StatusBarSetParts(Handle(), rightEdges);
  }
  void SetPartText(int part, const std::wstring& text) const { StatusBarSetText(Handle(), part, text); }
  RECT PartRect(int part) const { return StatusBarPartRect(Handle(), part); }
};
