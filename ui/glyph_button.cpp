#include "ui/glyph_button.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "system/resource.h"
#include "system/system_functions.h"
#include "ui/accessible_button.h"
#include "ui/high_contrast.h"
#include "ui/window_helpers.h"

namespace {

// uxtheme is loaded at run time; without it (or its styles) buttons are drawn the classic way.
HTHEME OpenButtonTheme(HWND button) {
  // High contrast and dark schemes paint with the scheme's colours, never a visual style's.
  if (FollowSchemeColors()) return nullptr;
  static const auto isAppThemed = kIsAppThemed.Find();
  static const auto openThemeData = kOpenThemeData.Find();
  return isAppThemed && openThemeData && isAppThemed() ? openThemeData(button, L"BUTTON") : nullptr;
}

// The style every button draws with, opened at the first draw (ForgetButtonStyle); its theme is
// null in a scheme of the user's colours, or where there is no style.
struct ButtonStyle {
  bool opened = false;
  UniqueTheme theme;
};
ButtonStyle g_buttonStyle;

HTHEME ButtonTheme(HWND button) {
  if (!g_buttonStyle.opened) {
    g_buttonStyle.theme.reset(OpenButtonTheme(button));
    g_buttonStyle.opened = true;
  }
  return g_buttonStyle.theme.get();
}

void DrawGlyph(HDC dc, HBITMAP glyph, int x, int y, int size) {
  if (!glyph) return;
  BITMAP info{};
  GetObjectW(glyph, sizeof info, &info);
  UniqueMemoryDc source(CreateCompatibleDC(dc));
  ScopedSelect select(source.get(), glyph);
  // gdi32's own export of msimg32's AlphaBlend: one DLL fewer to load at start-up.
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  GdiAlphaBlend(dc, x, y, size, size, source.get(), 0, 0, info.bmWidth, info.bmHeight, blend);
}

// Returns the colour of a caption on that face: the style's own text colour for its face, which
// may be light whatever the scheme says; the scheme's button text on the classic face. Round the
// style's face goes the parent's background brush, or without one what the parent paints there.
COLORREF DrawButtonFace(HWND button, HDC dc, const RECT& rect, bool pushed, bool hot, HBRUSH background) {
  HTHEME theme = ButtonTheme(button);
  static const auto drawParentBackground = kDrawThemeParentBackground.Find();
  static const auto drawBackground = kDrawThemeBackground.Find();
  if (theme && drawParentBackground && drawBackground) {
    int state = pushed ? PBS_PRESSED : hot ? PBS_HOT : PBS_NORMAL;
    RECT r = rect;
    if (background)
      FillRect(dc, &r, background);
    else
      drawParentBackground(button, dc, &r);
    drawBackground(theme, dc, BP_PUSHBUTTON, state, &r, nullptr);
    COLORREF text = 0;
    static const auto themeColor = kGetThemeColor.Find();
    if (themeColor && SUCCEEDED(themeColor(theme, BP_PUSHBUTTON, state, TMT_TEXTCOLOR, &text))) return text;
  } else {
    RECT r = rect;
    DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  }
  return GetSysColor(COLOR_BTNTEXT);
}

}  // namespace

void ForgetButtonStyle() { g_buttonStyle = {}; }

UniqueBitmap LoadGlyph(HINSTANCE instance, int resourceId) {
  UniqueBitmap stored(static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP info{};
  if (!stored || !GetObjectW(stored.get(), sizeof info, &info)) return {};
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = info.bmWidth;
  bmi.bmiHeader.biHeight = -info.bmHeight;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap glyph(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!glyph || !dc ||
      GetDIBits(dc.get(), stored.get(), 0, info.bmHeight, bits, &bmi, DIB_RGB_COLORS) != info.bmHeight)
    return {};
  // Opaque but where the bottom-left pixel's colour is: a colour key looked up and drawn
  // through at every draw cost about a third of a millisecond a glyph.
  auto* pixels = static_cast<std::uint32_t*>(bits);
  const std::size_t count = static_cast<std::size_t>(info.bmWidth) * info.bmHeight;
  const std::uint32_t key = pixels[count - info.bmWidth] & 0xFFFFFF;
  for (std::size_t i = 0; i < count; ++i)
    pixels[i] = (pixels[i] & 0xFFFFFF) == key ? 0 : pixels[i] | 0xFF000000;
  return glyph;
}

void DrawGlyphButton(const DRAWITEMSTRUCT& item, HBITMAP glyph, int glyphSize, int gap, HBRUSH background) {
  // A button that gains or loses the focus while it waits to be painted, as the first one does
  // when the window shows, is drawn by that paint, focus and all: made to paint its whole face,
  // it needs nothing drawn now.
  if (item.itemAction == ODA_FOCUS && GetUpdateRect(item.hwndItem, nullptr, FALSE)) {
    InvalidateRect(item.hwndItem, nullptr, FALSE);
    return;
  }
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  bool pushed = (item.itemState & ODS_SELECTED) != 0;
  COLORREF textColor =
      DrawButtonFace(item.hwndItem, dc, rect, pushed, (item.itemState & ODS_HOTLIGHT) != 0, background);

  std::wstring caption = HwndText(item.hwndItem);
  HFONT font = HwndFont(item.hwndItem);
  ScopedSelect selectFont(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  SIZE text{};
  GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);

  int shift = pushed ? 1 : 0;
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  int x = rect.left + (width - (glyphSize + gap + text.cx)) / 2 + shift;
  DrawGlyph(dc, glyph, x, rect.top + (height - glyphSize) / 2 + shift, glyphSize);

  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, textColor);
  RECT textRect{x + glyphSize + gap, rect.top + shift, rect.right, rect.bottom + shift};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT focus = rect;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(dc, &focus);
  }
}

// The speed button keeps its glyph, size and pressed state in window extra bytes.
namespace {
constexpr int kGlyphSlot = 0;
constexpr int kSizeSlot = sizeof(LONG_PTR);
constexpr int kPressedSlot = 2 * sizeof(LONG_PTR);
constexpr int kExtraBytes = 3 * sizeof(LONG_PTR);

void Click(HWND hwnd) {
  SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
               reinterpret_cast<LPARAM>(hwnd));
}

void SetPressed(HWND hwnd, bool pressed) {
  if ((GetWindowLongPtrW(hwnd, kPressedSlot) != 0) != pressed) {
    SetWindowLongPtrW(hwnd, kPressedSlot, pressed);
    InvalidateRect(hwnd, nullptr, FALSE);
  }
}

bool CursorInside(HWND hwnd, LPARAM lParam) {
  RECT r;
  GetClientRect(hwnd, &r);
  POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return PtInRect(&r, p) != FALSE;
}

LRESULT OnButtonDown(HWND hwnd) {
  SetCapture(hwnd);
  SetPressed(hwnd, true);
  return 0;
}

LRESULT OnMouseMove(HWND hwnd, LPARAM lParam) {
  if (GetCapture() == hwnd) SetPressed(hwnd, CursorInside(hwnd, lParam));
  return 0;
}

LRESULT OnButtonUp(HWND hwnd, LPARAM lParam) {
  if (GetCapture() != hwnd) return 0;
  bool click = CursorInside(hwnd, lParam);
  ReleaseCapture();  // sends WM_CAPTURECHANGED, which releases the button
  if (click) Click(hwnd);
  return 0;
}

LRESULT OnClick(HWND hwnd) {  // how a screen reader presses it
  Click(hwnd);
  return 0;
}

LRESULT OnGetObject(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  // Its window text names it for screen readers; it is never drawn.
  if (LRESULT object = PushButtonAccessibleObject(hwnd, wParam, lParam)) return object;
  return DefWindowProcW(hwnd, WM_GETOBJECT, wParam, lParam);
}

LRESULT OnCaptureChanged(HWND hwnd) {
  SetPressed(hwnd, false);
  return 0;
}

LRESULT OnPaint(HWND hwnd) {
  PaintDc paint(hwnd);
  HDC dc = paint.get();
  RECT r;
  GetClientRect(hwnd, &r);
  bool pressed = GetWindowLongPtrW(hwnd, kPressedSlot) != 0;
  DrawButtonFace(hwnd, dc, r, pressed, false, nullptr);
  int size = static_cast<int>(GetWindowLongPtrW(hwnd, kSizeSlot));
  int shift = pressed ? 1 : 0;
  DrawGlyph(dc, reinterpret_cast<HBITMAP>(GetWindowLongPtrW(hwnd, kGlyphSlot)), (r.right - size) / 2 + shift,
            (r.bottom - size) / 2 + shift, size);
  return 0;
}

LRESULT CALLBACK OncePerKeyProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT code = HwndCallPrevious(button, message, wParam, lParam);
  // The dialog manager asks with the key's message; bit 30 says the key was already down.
  const auto* key = reinterpret_cast<const MSG*>(lParam);
  if (message == WM_GETDLGCODE && key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN &&
      (key->lParam & (1L << 30)))
    code |= DLGC_WANTMESSAGE;
  return code;
}

LRESULT CALLBACK SpeedButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // clang-format off
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:   return OnButtonDown(hwnd);
    case WM_MOUSEMOVE:       return OnMouseMove(hwnd, lParam);
    case WM_LBUTTONUP:       return OnButtonUp(hwnd, lParam);
    case BM_CLICK:           return OnClick(hwnd);
    case WM_GETOBJECT:       return OnGetObject(hwnd, wParam, lParam);
    case WM_CAPTURECHANGED:  return OnCaptureChanged(hwnd);
    case WM_PAINT:           return OnPaint(hwnd);
  }
  // clang-format on
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

const wchar_t kSpeedButtonClass[] = L"TSpeedButton";

void RegisterSpeedButtonClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = SpeedButtonProc;
  wc.cbWndExtra = kExtraBytes;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kSpeedButtonClass;
  RegisterClassExW(&wc);  // a second registration in the same process fails harmlessly
}

void DrawCheckBoxMark(HDC dc, const RECT& square, bool checked, COLORREF ink, HBRUSH fill) {
  const UniqueBrush brush(CreateSolidBrush(ink));
  FillRect(dc, &square, brush.get());
  const RECT inside{square.left + 1, square.top + 1, square.right - 1, square.bottom - 1};
  FillRect(dc, &inside, fill);
  if (!checked) return;
  // The classic tick: seven columns, each three units tall, down two and up four, in a square
  // of 13 units.
  const int unit = std::max(1L, (square.right - square.left) / 13), x = square.left + 3 * unit,
            y = square.top + 3 * unit;
  for (int i = 0; i < 7; ++i) {
    const int top = y + (i <= 2 ? 2 + i : 6 - i) * unit;
    const RECT column{x + i * unit, top, x + (i + 1) * unit, top + 3 * unit};
    FillRect(dc, &column, brush.get());
  }
}

void PressOncePerKey(HWND button) { HwndSubclass(button, OncePerKeyProc); }

void SetSpeedButtonGlyph(HWND button, HBITMAP glyph, int glyphSize) {
  SetWindowLongPtrW(button, kGlyphSlot, reinterpret_cast<LONG_PTR>(glyph));
  SetWindowLongPtrW(button, kSizeSlot, glyphSize);
  InvalidateRect(button, nullptr, TRUE);
}
