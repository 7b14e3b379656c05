#pragma once
// The logo picture, ready to draw.
#include <windows.h>

#include "system/resource.h"

// The logo as a 32-bit bitmap set on the given background colour; empty if it cannot be read,
// and the window is usable without it.
UniqueBitmap LoadLogo(HINSTANCE instance, COLORREF background);
