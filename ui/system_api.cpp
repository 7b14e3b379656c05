#include "ui/system_api.h"

#include <string>

#include "ui/layout.h"
#include "ui/win_handle.h"

namespace {
bool g_hideNewerFunctions = false;
}  // namespace

FARPROC NewerFunction(const wchar_t* module, const char* name) {
  if (g_hideNewerFunctions) return nullptr;
  HMODULE loaded = GetModuleHandleW(module);
  return loaded ? GetProcAddress(loaded, name) : nullptr;
}

bool HideNewerFunctions(bool hide) {
  bool previous = g_hideNewerFunctions;
  g_hideNewerFunctions = hide;
  return previous;
}

int SystemDpi() {
  // Windows 10 version 1607 tells it directly, without a device context for the whole screen.
  using GetDpiForSystemFunction = UINT(WINAPI*)();
  if (auto getDpiForSystem = NewerFunctionAs<GetDpiForSystemFunction>(L"user32.dll", "GetDpiForSystem")) {
    int dpi = static_cast<int>(getDpiForSystem());
    if (dpi > 0) return dpi;
  }
  UniqueScreenDc screen(GetDC(nullptr));
  int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND hwnd) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  if (auto getDpiForWindow = NewerFunctionAs<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow")) {
    int dpi = static_cast<int>(getDpiForWindow(hwnd));
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

bool AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  using AdjustFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  if (auto adjust = NewerFunctionAs<AdjustFunction>(L"user32.dll", "AdjustWindowRectExForDpi"))
    return adjust(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
  return AdjustWindowRectEx(&rect, style, FALSE, exStyle) != FALSE;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  UINT length = GetSystemDirectoryW(nullptr, 0);  // with the terminating null
  if (length == 0) return nullptr;
  std::wstring path(length, L'\0');
  length = GetSystemDirectoryW(path.data(), length);
  if (length == 0 || length >= path.size()) return nullptr;
  path.resize(length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  return LoadLibraryW(path.c_str());
}
