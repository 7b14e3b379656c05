// A colour scheme changed while the program runs: every control shows the new colours on the
// screen, repainted by the program alone (the test never redraws the window), judged by the
// test's own reading of the pixels and its own contrast formula.
#include <array>
#include <set>

#include "tests/window_test_support.h"

namespace {

constexpr int kElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_GRAYTEXT};
using Scheme = std::array<COLORREF, std::size(kElements)>;
constexpr Scheme kDark{RGB(32, 32, 32), RGB(235, 235, 235), RGB(48, 48, 48), RGB(235, 235, 235),
                       RGB(160, 160, 160)};
constexpr Scheme kDarkBlue{RGB(0, 0, 96), RGB(255, 255, 0), RGB(0, 64, 64), RGB(255, 255, 255),
                           RGB(192, 192, 192)};

// In one process SetSysColors repaints every window itself and the colours are read live, so any
// repaint shows them. Unseen: the window draws nothing meanwhile, as when another program sets
// the colours, and only the message reaches it.
void SetScheme(HWND main, const Scheme& colours, bool unseen) {
  if (unseen) SendMessageW(main, WM_SETREDRAW, FALSE, 0);
  SetSysColors(static_cast<int>(colours.size()), kElements, colours.data());
  if (unseen) SendMessageW(main, WM_SETREDRAW, TRUE, 0);
  SendMessageW(main, WM_SYSCOLORCHANGE, 0, 0);
}

// Windows' common controls keep the colours they read and learn of new ones only from their
// parent; Wine's read them live, so there the message itself is what shows.
std::set<HWND> g_told;
LRESULT CALLBACK WatchColourChange(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_SYSCOLORCHANGE) g_told.insert(call->hwnd);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

using Form1SchemeChange = Form1Test;

}  // namespace

TEST_F(Form1SchemeChange, EveryControlShowsTheNewColoursWithoutTheTestRedrawing) {
  form_.Timer1Timer();
  KillTimer(Main(), TForm1::kTimer1);  // the clock's own repaint would hide a missing one
  Scheme saved{};
  for (std::size_t i = 0; i < saved.size(); ++i) saved[i] = GetSysColor(kElements[i]);
  SetScheme(Main(), kDark, false);
  WaitForThePaint(Main());
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchColourChange, nullptr, GetCurrentThreadId());
  SetScheme(Main(), kDarkBlue, true);  // from one dark scheme to another: nothing else changes
  UnhookWindowsHookEx(hook);
  WaitForThePaint(Main());

  const int dpi = WindowDpi(Main()), edge = ScaleForDpi(4, dpi);
  // The area's most common colour is its background; some pixel of it must stand out that much.
  auto check = [&](HWND window, const char* name, RECT area, COLORREF face, double least) {
    const ScreenContrast seen = ContrastOnScreen(window, area);
    EXPECT_EQ(seen.background, RGB(GetBValue(face), GetGValue(face), GetRValue(face)))
        << name << ": still the old background";
    EXPECT_GE(seen.best, least) << name;
  };
  for (const auto& c : kForm1Layout) {
    if (c.kind == ControlKind::StatusBar || c.kind == ControlKind::UpDown) {
      EXPECT_EQ(g_told.count(C(c.id)), 1u) << c.name << " was not told of the new colours";
    }
    RECT r{};
    GetClientRect(C(c.id), &r);
    if (c.kind == ControlKind::Label || c.kind == ControlKind::Edit)
      check(C(c.id), c.name, r, kDarkBlue[0], 4.5);
    if (c.kind == ControlKind::CheckBox)  // disabled: its text need only show
      check(C(c.id), c.name, {ScaleForDpi(kCheckBoxSize + 2, dpi), 0, r.right, r.bottom}, kDarkBlue[0], 3);
    if (c.kind == ControlKind::GlyphButton)  // the caption, right of the glyph, inside the focus frame
      check(C(c.id), c.name, {r.right / 2, edge, r.right - edge, r.bottom - edge}, kDarkBlue[2], 4.5);
  }
  for (int part : {0, 1}) {
    RECT r = StatusBarPartRect(C(StatusBar1), part);
    check(C(StatusBar1), part ? "clock" : "status message",
          {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, kDarkBlue[2], 4.5);
  }
  SetScheme(Main(), saved, false);
}
