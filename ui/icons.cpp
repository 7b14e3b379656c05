#include "ui/icons.h"

namespace {

using LoadIconWithScaleDownFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);

// Looked up at run time: Windows XP's common controls do not have it.
LoadIconWithScaleDownFunction ScaleDownLoader() {
  HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  return controls ? reinterpret_cast<LoadIconWithScaleDownFunction>(
                        reinterpret_cast<void*>(GetProcAddress(controls, "LoadIconWithScaleDown")))
                  : nullptr;
}

}  // namespace

HICON LoadIconForSize(HINSTANCE instance, int resourceId, int size) {
  if (LoadIconWithScaleDownFunction load = ScaleDownLoader()) {
    HICON icon = nullptr;
    if (SUCCEEDED(load(instance, MAKEINTRESOURCEW(resourceId), size, size, &icon)) && icon) return icon;
  }
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, 0));
}
