// The window's look at each DPI: the caret's margin, the focus frame, the icons and glyphs,
// broken DPI messages.
#include "resources/resource_ids.h"
#include "tests/window_test_support.h"

namespace {

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {};
  BITMAP bitmap{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  SIZE size{bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return size;
}

using Form1Look = Form1Test;

}  // namespace

TEST_F(Form1Look, TextBoxesKeepTheCaretOffTheDigitAt96And144) {
  for (int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    if (dpi != kBaseDpi) ChangeDpi(Main(), dpi);
    for (ControlId edit : kLevelEdits) {
      DWORD margins = static_cast<DWORD>(SendMessageW(C(edit), EM_GETMARGINS, 0, 0));
      EXPECT_EQ(LOWORD(margins), ScaleForDpi(kEditLeftMargin, dpi));
      EXPECT_GE(LOWORD(margins), 1);
      EXPECT_LE(LOWORD(margins), ScaleForDpi(3, dpi));
    }
    // The digit stands off the box's edge, and the caret, where Tab and the spin keys leave
    // it, stands right of the digit's ink.
    HWND edit = C(Edit1);
    SetFocus(edit);
    SendMessageW(edit, WM_KEYDOWN, VK_UP, 1);  // steps and places the caret as a user's key does
    Pump(20);
    EXPECT_EQ(SendMessageW(edit, EM_GETSEL, 0, 0), MAKELONG(0, 1))
        << "the digit, selected, is replaced by the next";
    HideCaret(edit);  // read the digit alone
    RedrawWindow(edit, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    POINT caret{};
    GetCaretPos(&caret);
    HDC dc = GetDC(edit);
    RECT client{};
    GetClientRect(edit, &client);
    int firstInk = -1, lastInk = -1;
    for (int x = 0; x < client.right; ++x) {
      for (int y = 0; y < client.bottom; ++y) {
        COLORREF c = GetPixel(dc, x, y);
        if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 160) {
          if (firstInk < 0) firstInk = x;
          lastInk = x;
          break;
        }
      }
    }
    ReleaseDC(edit, dc);
    ShowCaret(edit);
    ASSERT_GE(firstInk, 0) << "no digit drawn";
    EXPECT_GE(firstInk, ScaleForDpi(kEditLeftMargin, dpi)) << "the digit touches the box's edge";
    EXPECT_GT(caret.x, lastInk) << "the caret covers the digit";
    EXPECT_LT(caret.x, client.right) << "the caret is outside the box";
  }
}

TEST_F(Form1Look, AFocusFrameGivenWhileAPaintIsDueIsDrawnWhole) {
  HWND save = C(BitBtn2);
  auto pixels = [save] {
    RECT r{};
    GetClientRect(save, &r);
    HDC dc = GetDC(save);
    std::vector<COLORREF> seen;
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x) seen.push_back(GetPixel(dc, x, y));
    ReleaseDC(save, dc);
    return seen;
  };
  SendMessageW(Main(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  Pump(100);
  RECT corner{0, 0, 4, 4};
  InvalidateRect(save, &corner, FALSE);  // a paint is due for a corner only
  SetFocus(save);
  UpdateWindow(save);
  std::vector<COLORREF> shown = pixels();
  RedrawWindow(save, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(shown, pixels()) << "the focus frame was drawn only where the paint was due";
}

TEST_F(Form1Look, IconsAndGlyphsAreLoadedAtTheSizesTheDpiAsksFor) {
  for (int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    if (dpi != kBaseDpi) ChangeDpi(Main(), dpi);
    SIZE small = IconSize(reinterpret_cast<HICON>(SendMessageW(Main(), WM_GETICON, ICON_SMALL, 0)));
    SIZE large = IconSize(reinterpret_cast<HICON>(SendMessageW(Main(), WM_GETICON, ICON_BIG, 0)));
    EXPECT_EQ(small.cx, 16 * dpi / 96);
    EXPECT_EQ(small.cy, 16 * dpi / 96);
    EXPECT_EQ(large.cx, 32 * dpi / 96);
    BITMAP glyph{};  // the About button keeps its glyph in its first extra bytes
    GetObjectW(reinterpret_cast<HBITMAP>(GetWindowLongPtrW(C(SpeedButton1), 0)), sizeof glyph, &glyph);
    EXPECT_EQ(glyph.bmWidth, GlyphSizeForDpi(dpi));
    // On screen, the glyph's own pixels unchanged, and never its key colour (the bottom-left's).
    RedrawWindow(Main(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    int size = GlyphSizeForDpi(dpi), wrong = 0;
    HBITMAP stored = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                     MAKEINTRESOURCEW(GlyphResourceId(IDB_ABOUT, size)),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HDC bits = CreateCompatibleDC(nullptr), screen = GetDC(C(SpeedButton1));
    HGDIOBJ old = SelectObject(bits, stored);
    RECT r{};
    GetClientRect(C(SpeedButton1), &r);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        COLORREF want = GetPixel(bits, x, y),
                 got = GetPixel(screen, (r.right - size) / 2 + x, (r.bottom - size) / 2 + y);
        wrong += want == GetPixel(bits, 0, size - 1) ? got == want : got != want;
      }
    EXPECT_EQ(wrong, 0);
    SelectObject(bits, old), DeleteDC(bits), DeleteObject(stored), ReleaseDC(C(SpeedButton1), screen);
  }
}

TEST_F(Form1Look, DpiMessagesOutsideTheSaneRangeOrWithoutAFrameAreIgnored) {
  RECT before{};
  GetWindowRect(Main(), &before);
  RECT suggested{0, 0, 600, 500};
  RECT empty{10, 10, 10, 10};
  const struct {
    WORD x, y;
    const RECT* frame;
  } broken[] = {{0, 0, &suggested},
                {65535, 65535, &suggested},
                {144, 144, nullptr},
                {144, 144, &empty},
                {96, 144, &suggested}};
  for (const auto& b : broken) {
    SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(b.x, b.y), reinterpret_cast<LPARAM>(b.frame));
  }
  RECT after{};
  GetWindowRect(Main(), &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  for (const auto& c : kForm1Layout) {
    RECT r = RectInParent(C(c.id)), want = ScaledRect(c.rect, 96);
    EXPECT_TRUE(EqualRect(&r, &want)) << c.name;
  }

  ChangeDpi(Main(), 120);  // a good one still applies
  RECT r = RectInParent(C(Edit1)), want = ScaledRect(LayoutOf(Edit1).rect, 120);
  EXPECT_TRUE(EqualRect(&r, &want));
}
