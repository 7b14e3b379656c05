#include "ui/icons.h"

#include "system/system_functions.h"

HICON LoadIconForSize(HINSTANCE instance, int resourceId, int size) {
  // Windows XP's common controls do not have it.
  static const auto load = kLoadIconWithScaleDown.Find();
  if (load) {
    HICON icon = nullptr;
    if (SUCCEEDED(load(instance, MAKEINTRESOURCEW(resourceId), size, size, &icon)) && icon) return icon;
  }
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, 0));
}
