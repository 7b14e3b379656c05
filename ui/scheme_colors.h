// Which colours the window draws with; no <windows.h>, so the host build tests it.
#pragma once

#include <cstdint>

// A colour as Windows holds it (COLORREF): 0x00BBGGRR.
using Rgb = std::uint32_t;

constexpr Rgb MakeRgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

// The window's own colours where it does not follow the user's: white, with black text.
constexpr Rgb kFixedBackground = MakeRgb(255, 255, 255);
constexpr Rgb kFixedText = MakeRgb(0, 0, 0);

// How far apart two colours stand for a reader: from 1 (the same) to 21 (black on white), as
// WCAG 2 defines it. Text wants 4.5 or more.
double ContrastRatio(Rgb a, Rgb b);

struct SchemeColors {
  Rgb window, windowText, buttonFace, buttonText;
};

// Whether the window follows the user's colours everywhere instead of its fixed white and black:
// in high contrast, and wherever the scheme's text is lighter than its background. Wine never
// sets the high-contrast flag, and a dark scheme sets none either: the colours tell.
bool FollowsScheme(const SchemeColors& scheme, bool highContrast);

// Disabled text on a background: the scheme's grey text where it stands out at 3:1, else that
// grey moved towards the text until it does (as far as the text itself).
Rgb DisabledTextColor(Rgb grayText, Rgb text, Rgb background);
