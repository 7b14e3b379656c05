#include "tests/window_test_support.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

DialogScript* g_script = nullptr;

constexpr int kMessageBoxTextIds[] = {0xFFFF, 100};
constexpr int kMessageBoxIconIds[] = {0x14, 1088};
constexpr int kFileNameBoxIds[] = {0x47C /* cmb13 */, 0x480 /* edt1 */};

std::wstring ReadMessageBoxText(HWND dialog) {
  for (int id : kMessageBoxTextIds) {
    if (HWND item = GetDlgItem(dialog, id)) return TextOf(item);
  }
  return {};
}

HICON MessageBoxIcon(HWND dialog) {
  for (int id : kMessageBoxIconIds) {
    HWND item = GetDlgItem(dialog, id);
    // The box itself is not shown yet, so look at the item's own style.
    if (item && (GetWindowLongW(item, GWL_STYLE) & WS_VISIBLE)) {
      if (auto icon = reinterpret_cast<HICON>(SendMessageW(item, STM_GETICON, 0, 0))) return icon;
    }
  }
  return nullptr;
}

HWND FileNameBox(HWND dialog) {
  for (int id : kFileNameBoxIds) {
    if (HWND item = GetDlgItem(dialog, id)) return item;
  }
  return nullptr;
}

std::wstring FolderOf(HWND openDialog) {
  wchar_t folder[1024] = {};
  SendMessageW(openDialog, CDM_GETFOLDERPATH, 1024, reinterpret_cast<LPARAM>(folder));
  return folder;
}

BOOL CALLBACK CloseDialog(HWND hwnd, LPARAM) {
  if (ClassOf(hwnd) == L"#32770") PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

}  // namespace

DialogScript::DialogScript(std::vector<Step> steps) : steps_(std::move(steps)) {
  g_script = this;
  hook_ = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
  // A dialog that no step closes would hang the run: close whatever is left after a while.
  watchdog_ = SetTimer(nullptr, 0, 30000, Watchdog);
}

DialogScript::~DialogScript() {
  KillTimer(nullptr, watchdog_);
  UnhookWindowsHookEx(hook_);
  g_script = nullptr;
}

LRESULT CALLBACK DialogScript::Hook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_script) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    bool known = false;
    for (const auto& s : g_script->seen_) known = known || s.hwnd == hwnd;
    if (!known && ClassOf(hwnd) == L"#32770") {
      SeenDialog seen;
      seen.hwnd = hwnd;
      seen.caption = TextOf(hwnd);
      HWND fileName = FileNameBox(hwnd);
      seen.text = fileName ? TextOf(fileName) : ReadMessageBoxText(hwnd);
      if (fileName) seen.folder = FolderOf(hwnd);
      seen.icon = MessageBoxIcon(hwnd);
      seen.hasIcon = seen.icon != nullptr;
      seen.owner = GetWindow(hwnd, GW_OWNER);
      seen.ownerEnabled = seen.owner ? IsWindowEnabled(seen.owner) != FALSE : true;
      GetWindowRect(hwnd, &seen.rect);
      std::size_t index = g_script->seen_.size();
      g_script->seen_.push_back(seen);
      if (index < g_script->steps_.size()) {
        g_script->steps_[index](hwnd, g_script->seen_.back());
      } else {
        ADD_FAILURE() << "unexpected dialog: " << std::string(seen.caption.begin(), seen.caption.end());
        PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK DialogScript::Watchdog(HWND, UINT, UINT_PTR, DWORD) {
  ADD_FAILURE() << "a dialog stayed open";
  EnumThreadWindows(GetCurrentThreadId(), CloseDialog, 0);
}

DialogScript::Step DialogScript::Later(Step step) {
  return [step](HWND dialog, SeenDialog&) {
    g_script->waiting_ = dialog;
    g_script->later_ = step;
    SetTimer(nullptr, 0, 50, Resume);
  };
}

void CALLBACK DialogScript::Resume(HWND, UINT, UINT_PTR id, DWORD) {
  for (auto& seen : g_script->seen_) {
    if (seen.hwnd != g_script->waiting_) continue;
    // Shown, and where it was at the last look: the dialog has settled, however slowly.
    RECT now{};
    GetWindowRect(seen.hwnd, &now);
    const bool settled = IsWindowVisible(seen.hwnd) && EqualRect(&now, &seen.rect);
    seen.rect = now;
    if (!settled) return;
    KillTimer(nullptr, id);
    if (FileNameBox(seen.hwnd)) {
      seen.text = TextOf(FileNameBox(seen.hwnd));
      seen.folder = FolderOf(seen.hwnd);
    }
    g_script->later_(seen.hwnd, seen);
  }
}

DialogScript::Step DialogScript::Press(int buttonId) {
  return [buttonId](HWND dialog, SeenDialog&) { PostMessageW(dialog, WM_COMMAND, buttonId, 0); };
}

DialogScript::Step DialogScript::PressKey(UINT key) {
  return [key](HWND dialog, SeenDialog&) {
    PostMessageW(dialog, WM_KEYDOWN, key, 1);
    PostMessageW(dialog, WM_KEYUP, key, 0xC0000001);
  };
}

DialogScript::Step DialogScript::OpenWith(const std::wstring& path) {
  return [path](HWND dialog, SeenDialog&) {
    // The dialog is about to be shown: type the name now; Open is pressed once its loop runs.
    HWND box = FileNameBox(dialog);
    ASSERT_NE(box, nullptr);
    SetWindowTextW(box, path.c_str());
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  };
}

// An area of the screen, copied in one call, as 0x00RRGGBB pixels.
std::vector<std::uint32_t> ScreenPixels(RECT r) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* first = static_cast<const std::uint32_t*>(bits);
  std::vector<std::uint32_t> pixels(first, first + width * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Runs the program's loop until it has painted what it was told and the screen holds still; the
// test never repaints, so a repaint the program forgets leaves the old colours on the screen.
void WaitForThePaint(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  std::vector<std::uint32_t> before = ScreenPixels(r);
  // A state, not a time: the limit only ends a run that would hang.
  for (int round = 0; round < 1200; ++round) {
    Pump(50);
    std::vector<std::uint32_t> now = ScreenPixels(r);
    if (now == before && !GetUpdateRect(window, nullptr, FALSE)) return;
    before = std::move(now);
  }
}

double Luminance(std::uint32_t rgb) {
  auto channel = [](std::uint32_t value) {
    double v = value / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(rgb >> 16 & 255) + 0.7152 * channel(rgb >> 8 & 255) + 0.0722 * channel(rgb & 255);
}

ScreenContrast ContrastOnScreen(HWND window, RECT area) {
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
  std::map<std::uint32_t, int> counts;
  for (std::uint32_t pixel : ScreenPixels(area)) ++counts[pixel];
  auto background = std::max_element(counts.begin(), counts.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; });
  const double ground = Luminance(background->first);
  double best = 1;
  for (const auto& [pixel, count] : counts) {
    const double ink = Luminance(pixel);
    best = std::max(best, (std::max(ink, ground) + 0.05) / (std::min(ink, ground) + 0.05));
  }
  return {background->first, best};
}

void Form1Test::SetUp() {
  ASSERT_TRUE(form_.Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
  Pump(50);
}

void Form1Test::TearDown() {
  if (form_.Handle()) DestroyWindow(form_.Handle());
  TakeQuitMessage();
}

bool Form1Test::TakeQuitMessage() {
  MSG msg;
  bool taken = PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) || g_quitTaken;
  g_quitTaken = false;
  return taken;
}
