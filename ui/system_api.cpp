#include "ui/system_api.h"

#include "system/system_functions.h"
#include "ui/layout.h"
#include "system/resource.h"

int SystemDpi() {
  // Windows 10 version 1607 tells it directly, without a device context for the whole screen.
  if (auto getDpiForSystem = kGetDpiForSystem.Find()) {
    int dpi = static_cast<int>(getDpiForSystem());
    if (dpi > 0) return dpi;
  }
  UniqueScreenDc screen(GetDC(nullptr));
  int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND hwnd) {
  if (auto getDpiForWindow = kGetDpiForWindow.Find()) {
    int dpi = static_cast<int>(getDpiForWindow(hwnd));
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  if (auto adjust = kAdjustWindowRectExForDpi.Find())
    return adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
  return AdjustWindowRectEx(&rect, style, FALSE, exStyle) != FALSE;
}
