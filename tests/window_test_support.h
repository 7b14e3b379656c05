#pragma once
// Driving the real window and the system's modal dialogs from a test, as a user would.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "app/message_loop.h"
#include "ui/form1.h"
#include "ui/system_api.h"  // WM_DPICHANGED, which XP's headers do not name
#include "ui/window_helpers.h"

inline std::wstring TextOf(HWND hwnd) { return HwndText(hwnd); }

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

// Client rectangle of a child in its parent's client coordinates.
inline RECT RectInParent(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A row of the layout table at a DPI, its edges scaled by the system's MulDiv.
inline RECT ScaledRect(const LayoutRect& l, int dpi) {
  return {MulDiv(l.left, dpi, 96), MulDiv(l.top, dpi, 96), MulDiv(l.left + l.width, dpi, 96),
          MulDiv(l.top + l.height, dpi, 96)};
}

// What Windows sends when the window moves to a monitor of another DPI (Wine never does).
inline void ChangeDpi(HWND window, int dpi) {
  RECT suggested{0, 0, ScaleForDpi(300, dpi), ScaleForDpi(250, dpi)};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

// Set when a pump takes the quit message that closing a window posts.
inline bool g_quitTaken = false;

// The program's own loop, until nothing waits in the queue (input, paint and posted messages
// all handled, however slow the machine) and then for at least the given time.
inline void Pump(DWORD milliseconds = 0, HWND window = nullptr) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        g_quitTaken = true;
        continue;
      }
      DeliverMessage(window, msg);
    }
    if (GetTickCount() - start >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Waits for a state, not for a time: the limit only ends a run that would hang.
inline bool PumpUntil(const std::function<bool()>& done, DWORD limit = 60000, HWND window = nullptr) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > limit) return false;
    Pump(10, window);
  }
  return true;
}

// An area of the screen, copied in one call, as 0x00RRGGBB pixels.
std::vector<std::uint32_t> ScreenPixels(RECT r);
// Runs the program's loop until it has painted what it was told and the screen holds still; the
// test never repaints, so a repaint the program forgets leaves the old colours on the screen.
void WaitForThePaint(HWND window);

// Relative luminance of a 0x00RRGGBB pixel, and contrast ratios, as WCAG 2 defines them.
double Luminance(std::uint32_t rgb);
// An area of a window as the screen shows it: its most common colour, its background, and the
// best contrast of any of its pixels against that.
struct ScreenContrast {
  std::uint32_t background;
  double best;
};
ScreenContrast ContrastOnScreen(HWND window, RECT area);

inline std::wstring PanelText(HWND statusBar, int panel) {
  LRESULT length = SendMessageW(statusBar, SB_GETTEXTLENGTHW, panel, 0);
  std::wstring text(LOWORD(length), L'\0');
  SendMessageW(statusBar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text.data()));
  while (!text.empty() && text.front() == L'\t') text.erase(0, 1);  // alignment marks
  return text;
}

// What a test saw of one modal dialog when it was about to be activated.
struct SeenDialog {
  HWND hwnd = nullptr;
  std::wstring caption;
  std::wstring text;     // message box text, or the open dialog's file-name box
  bool hasIcon = false;  // message boxes only
  HICON icon = nullptr;  // the message box's icon, to compare with the system's shared ones
  HWND owner = nullptr;
  bool ownerEnabled = true;
  RECT rect{};
  std::wstring folder;  // open dialog only: the folder it shows
};

// Watches the thread's dialogs through a CBT hook and answers each one with the next step.
// A step gets the dialog and what was read of it, and must post whatever closes the dialog.
class DialogScript {
 public:
  using Step = std::function<void(HWND, SeenDialog&)>;
  explicit DialogScript(std::vector<Step> steps);
  ~DialogScript();
  const std::vector<SeenDialog>& Seen() const { return seen_; }

  // Standard answers.
  static Step Press(int buttonId);                 // WM_COMMAND with that id
  static Step PressKey(UINT key);                  // a key press the dialog's own loop handles
  static Step OpenWith(const std::wstring& path);  // type a name into the open dialog and press Open
  static Step Cancel() { return Press(IDCANCEL); }
  // Lets the dialog show and settle, reads its rectangle again, then takes the step.
  static Step Later(Step step);

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD);
  static void CALLBACK Resume(HWND, UINT, UINT_PTR, DWORD);
  HWND waiting_ = nullptr;
  Step later_;
  std::vector<Step> steps_;
  std::vector<SeenDialog> seen_;
  HHOOK hook_ = nullptr;
  UINT_PTR watchdog_ = 0;
};

// A fresh main window for each test; the quit message it posts on destruction is taken back
// so the next test's modal loops are not ended by it.
class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND C(ControlId id) const { return form_.Control(id); }
  // A click as the user makes it, through the window procedure that shows failures.
  void Click(ControlId id) { SendMessageW(C(id), BM_CLICK, 0, 0); }
  HWND Main() const { return form_.Handle(); }
  static bool TakeQuitMessage();

  TForm1 form_;
};
