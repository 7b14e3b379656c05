#include "ui/status_tip.h"

#include <commctrl.h>

bool StatusTip::SetText(const std::wstring& text) {
  text_ = text;
  TTTOOLINFOW tool = Tool();
  if (tip_) {
    SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    return false;
  }
  // No prefix: an ampersand in a path is a character, not an underline.
  tip_ = CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(bar_.Handle()), nullptr,
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(bar_.Handle(), GWLP_HINSTANCE)), nullptr);
  if (!tip_) return false;
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  // A maximum width lets the tip take line breaks; a screen's width never cuts a path short.
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
  return true;
}

void StatusTip::Place() {
  TTTOOLINFOW tool = Tool();
  if (tip_) SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

TTTOOLINFOW StatusTip::Tool() {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;  // the tooltip watches the bar's mouse messages itself
  tool.hwnd = bar_.Handle();
  tool.rect = bar_.PartRect(0);
  tool.lpszText = text_.data();
  return tool;
}
