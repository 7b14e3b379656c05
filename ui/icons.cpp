#include "ui/icons.h"

#include "ui/system_api.h"

HICON LoadIconForSize(HINSTANCE instance, int resourceId, int size) {
  // Windows XP's common controls do not have it.
  using ScaleDownLoader = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
  if (auto load = NewerFunctionAs<ScaleDownLoader>(L"comctl32.dll", "LoadIconWithScaleDown")) {
    HICON icon = nullptr;
    if (SUCCEEDED(load(instance, MAKEINTRESOURCEW(resourceId), size, size, &icon)) && icon) return icon;
  }
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, 0));
}
