// The fair floor for start-up: the main window's 19 controls from the same layout table, made from
// the same window classes and styles, with the same manifest, common controls and fonts, and nothing
// else (no logo, glyphs, clock or record).
#include <windows.h>

#include <commctrl.h>

#include "ui/app_title.h"
#include "ui/control_class.h"
#include "ui/glyph_button.h"
#include "ui/layout.h"

namespace {

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FloorProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"ControlsFloor";
  RegisterClassExW(&wc);
  RegisterSpeedButtonClass(instance);
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame{0, 0, kForm1ClientWidth, kForm1ClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_CONTROLPARENT);
  HWND hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, L"ControlsFloor", kAppTitle, kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                              nullptr, instance, nullptr);
  HFONT windowFont = CreateFontW(-kWindowFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                 DEFAULT_PITCH | FF_SWISS, kWindowFontFace);
  HFONT labelFont = CreateFontW(-kLabelFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                FIXED_PITCH | FF_MODERN, kLabelFontFace);
  for (const ControlLayout& c : kForm1Layout) {
    ControlClass cls = ControlClassOf(c);
    HWND control = CreateWindowExW(cls.exStyle, cls.name, c.text, cls.style, c.rect.left, c.rect.top,
                                   c.rect.width, c.rect.height, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    HFONT font = c.font == FontKind::Label ? labelFont : c.font == FontKind::Window ? windowFont : nullptr;
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(windowFont);
  DeleteObject(labelFont);
  return 0;
}
