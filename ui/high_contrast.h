#pragma once
// Whether the user has turned on the system's high-contrast mode, and whether the window follows
// the user's colours.
#include <windows.h>

#include "ui/scheme_colors.h"

inline bool HighContrastOn() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// In high contrast or a dark scheme: then the window takes the scheme's colours throughout and
// the controls drop the visual style, which would paint light faces under the scheme's light text.
inline bool FollowSchemeColors() {
  SchemeColors scheme{GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNFACE),
                      GetSysColor(COLOR_BTNTEXT)};
  return FollowsScheme(scheme, HighContrastOn());
}
