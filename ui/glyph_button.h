#pragma once
// Buttons that show a square glyph, drawn at its own size, whose bottom-left pixel's colour is
// transparent.
#include <windows.h>

#include "system/resource.h"

// Paints an owner-drawn push button on its parent's background brush: the glyph left of the
// caption, gap pixels apart, the pair centred.
void DrawGlyphButton(const DRAWITEMSTRUCT& item, HBITMAP glyph, int glyphSize, int gap, HBRUSH background);

// A glyph from its bitmap resource, made ready to draw: the pixels of its bottom-left pixel's
// colour are left out, the rest opaque. Null if there is no such bitmap.
UniqueBitmap LoadGlyph(HINSTANCE instance, int resourceId);

// The buttons draw with a visual style opened at their first draw and kept: opening it costs
// more than a draw. After the style, the scheme or the DPI changes, this has the next draw open
// it again.
void ForgetButtonStyle();

// Enter held down repeats its key-down, and the dialog manager would press the focused button
// at each one; Space presses once, on release. This has a button take Enter's repeats itself,
// doing nothing with them: one press of either key, one command.
void PressOncePerKey(HWND button);

// A check box's square of a side, its frame and tick in one colour on a fill: the 3-D colours
// the system would draw a disabled one in may not stand apart at all.
void DrawCheckBoxMark(HDC dc, const RECT& square, bool checked, COLORREF ink, HBRUSH fill);

// The small About button: a window class of its own, because a standard button takes the
// keyboard focus when clicked and this one must not. It reports clicks, and BM_CLICK, as
// BN_CLICKED; screen readers see a push button named by its window text.
extern const wchar_t kSpeedButtonClass[];
void RegisterSpeedButtonClass(HINSTANCE instance);
void SetSpeedButtonGlyph(HWND button, HBITMAP glyph, int glyphSize);
