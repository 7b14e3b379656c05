#pragma once
// Loading the program's icon at an exact size.
#include <windows.h>

// The title bar's and the task switcher's icon sizes at 96 DPI.
constexpr int kSmallIconSize = 16, kLargeIconSize = 32;

// The icon resource at size x size pixels, which the caller destroys. Where the system has
// LoadIconWithScaleDown (Vista on), a larger image is scaled down smoothly when no image has
// that size; elsewhere the plain loader picks the nearest image.
HICON LoadIconForSize(HINSTANCE instance, int resourceId, int size);
