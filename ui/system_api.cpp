#include "ui/system_api.h"

#include "system/resource.h"
#include "system/system_functions.h"
#include "ui/layout.h"

// Each function is looked up once, on first use: the test seam that hides the newer ones acts
// here only when set before the first window is made, as the tests set it.

int SystemDpi() {
  // Windows 10 version 1607 tells it directly, without a device context for the whole screen.
  static const auto getDpiForSystem = kGetDpiForSystem.Find();
  if (getDpiForSystem) {
    int dpi = static_cast<int>(getDpiForSystem());
    if (dpi > 0) return dpi;
  }
  UniqueScreenDc screen(GetDC(nullptr));
  int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND hwnd) {
  static const auto getDpiForWindow = kGetDpiForWindow.Find();
  if (getDpiForWindow) {
    int dpi = static_cast<int>(getDpiForWindow(hwnd));
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  static const auto adjust = kAdjustWindowRectExForDpi.Find();
  if (adjust) return adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
  return AdjustWindowRectEx(&rect, style, FALSE, exStyle) != FALSE;
}
