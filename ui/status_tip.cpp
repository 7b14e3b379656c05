#include "ui/status_tip.h"

#include <commctrl.h>

#include "system/resource.h"
#include "ui/message_text.h"

namespace {

// The widest a tip's text may be: half the work area of the bar's monitor, so the tip fits whole
// wherever beside the pointer the tooltip puts it.
int MaxTipWidth(HWND bar) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(bar, MONITOR_DEFAULTTONEAREST), &monitor))
    return GetSystemMetrics(SM_CXSCREEN) / 2;
  return (monitor.rcWork.right - monitor.rcWork.left) / 2;
}

// The text with its lines broken to a width in the tip's font.
std::wstring WrappedToWidth(HWND tip, const std::wstring& text, int width) {
  UniqueScreenDc dc(GetDC(nullptr));
  ScopedSelect font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)));
  return WrapPath(text, [&](const std::wstring& line) {
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), line.c_str(), static_cast<int>(line.size()), &size);
    return size.cx <= width;
  });
}

}  // namespace

bool StatusTip::SetText(const std::wstring& text) {
  const bool made = !tip_;
  if (made) {
    // No prefix: an ampersand in a path is a character, not an underline.
    tip_ = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(bar_.Handle()), nullptr,
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(bar_.Handle(), GWLP_HINSTANCE)), nullptr);
    if (!tip_) return false;
  }
  // A maximum width lets the tip take line breaks.
  const int width = MaxTipWidth(bar_.Handle());
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, width);
  text_ = WrappedToWidth(tip_, text, width);
  TTTOOLINFOW tool = Tool();
  SendMessageW(tip_, made ? TTM_ADDTOOLW : TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  return made;
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
