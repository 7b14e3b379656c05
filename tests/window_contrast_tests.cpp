// High contrast. Wine 8 has no high-contrast mode: SPI_SETHIGHCONTRAST fails and
// SPI_GETHIGHCONTRAST always reports it off. So the test switches it on for this process by
// answering SPI_GETHIGHCONTRAST itself through the import table, and sets a dark high-contrast
// colour scheme with SetSysColors, which Wine does support and broadcasts as WM_SYSCOLORCHANGE.
// Both are put back however the test ends.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "tests/window_test_support.h"

// The import-table slot through which the program calls SystemParametersInfoW.
extern "C" decltype(&SystemParametersInfoW) velmora_spi_slot asm("__imp__SystemParametersInfoW@16");

namespace {

decltype(&SystemParametersInfoW) g_realSystemParametersInfo = nullptr;
bool g_highContrast = false;

BOOL WINAPI TestSystemParametersInfo(UINT action, UINT param, PVOID data, UINT flags) {
  if (action == SPI_GETHIGHCONTRAST && g_highContrast && data) {
    auto* contrast = static_cast<HIGHCONTRASTW*>(data);
    contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
    contrast->lpszDefaultScheme = nullptr;
    return TRUE;
  }
  return g_realSystemParametersInfo(action, param, data, flags);
}

void SetSlot(decltype(&SystemParametersInfoW) function) {
  DWORD old = 0;
  VirtualProtect(&velmora_spi_slot, sizeof velmora_spi_slot, PAGE_READWRITE, &old);
  velmora_spi_slot = function;
  VirtualProtect(&velmora_spi_slot, sizeof velmora_spi_slot, old, &old);
}

constexpr int kSchemeElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT,
                                   COLOR_GRAYTEXT};
constexpr COLORREF kDarkScheme[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255),
                                    RGB(63, 242, 63)};
// Black on pale yellow: a light scheme the window ignores until high contrast is on.
constexpr COLORREF kLightScheme[] = {RGB(255, 255, 204), RGB(0, 0, 0), RGB(240, 240, 240), RGB(0, 0, 0),
                                     RGB(109, 109, 109)};

// A colour scheme, and the high-contrast flag as this process reads it, for one scope.
class HighContrastScheme {
 public:
  HighContrastScheme(const COLORREF (&scheme)[std::size(kSchemeElements)], bool on) {
    for (std::size_t i = 0; i < std::size(kSchemeElements); ++i) saved_[i] = GetSysColor(kSchemeElements[i]);
    g_realSystemParametersInfo = velmora_spi_slot;
    SetSlot(&TestSystemParametersInfo);
    g_highContrast = on;
    SetSysColors(static_cast<int>(std::size(kSchemeElements)), kSchemeElements, scheme);
  }
  HighContrastScheme(const HighContrastScheme&) = delete;
  HighContrastScheme& operator=(const HighContrastScheme&) = delete;
  ~HighContrastScheme() {
    g_highContrast = false;
    SetSysColors(static_cast<int>(std::size(kSchemeElements)), kSchemeElements, saved_);
    SetSlot(g_realSystemParametersInfo);
  }
  // Only the flag changes, as the user's switch changes it: no colour changes, so the system
  // repaints nothing and the window must repaint itself.
  static void Switch(HWND window, bool on) {
    g_highContrast = on;
    SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  }

 private:
  COLORREF saved_[std::size(kSchemeElements)]{};
};

COLORREF PixelAt(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return c;
}

bool HasPixel(HWND window, COLORREF wanted) {
  RECT r{};
  GetClientRect(window, &r);
  HDC dc = GetDC(window);
  bool found = false;
  for (int y = 0; y < r.bottom && !found; ++y) {
    for (int x = 0; x < r.right && !found; ++x) found = GetPixel(dc, x, y) == wanted;
  }
  ReleaseDC(window, dc);
  return found;
}

using Form1Contrast = Form1Test;

}  // namespace

// Run in Wine's default prefix, and by tests/colour_schemes.sh in dark and high-contrast ones.
TEST_F(Form1Contrast, EveryTextStandsOutFromWhatItIsDrawnOnOnTheScreen) {
  form_.Timer1Timer();
  WaitForThePaint(Main());
  const int dpi = WindowDpi(Main()), edge = ScaleForDpi(4, dpi);
  std::string report = "contrast:";
  double labelContrast = 21;
  auto check = [&](ControlId id, RECT area) {
    double contrast = ContrastOnScreen(C(id), area).best;
    report += " " + std::string(LayoutOf(id).name) + " " + std::to_string(contrast).substr(0, 4);
    if (id == Label1) labelContrast = contrast;
    // Disabled text reads at 3:1, and still looks disabled: dimmer than the labels' text.
    EXPECT_GE(contrast, IsWindowEnabled(C(id)) ? 4.5 : 3.0) << report;
    if (!IsWindowEnabled(C(id))) {
      EXPECT_LT(contrast, labelContrast) << report;
    }
  };
  for (const auto& c : kForm1Layout) {
    RECT r{};
    GetClientRect(C(c.id), &r);
    if (c.kind == ControlKind::Label || c.kind == ControlKind::Edit) check(c.id, r);
    // A button's caption right of its centre, where the glyph never reaches, inside its focus frame.
    if (c.kind == ControlKind::GlyphButton) check(c.id, {r.right / 2, edge, r.right - edge, r.bottom - edge});
    if (c.kind == ControlKind::CheckBox) {  // its caption, then its tick against the inside of its box
      check(c.id, {ScaleForDpi(kCheckBoxSize + 2, dpi), 0, r.right, r.bottom});
      const int box = ScaleForDpi(kCheckBoxSize, dpi), top = (r.bottom - box) / 2;
      check(c.id, {2, top + 2, box - 2, top + box - 2});
    }
  }
  for (int part : {0, 1}) {  // the status message and the clock, inside their borders
    RECT r = StatusBarPartRect(C(StatusBar1), part);
    check(StatusBar1, {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2});
  }
  std::printf("%s\n", report.c_str());
}

TEST_F(Form1Contrast, WhiteUnlessHighContrastThenTheSystemsWindowColours) {
  // An empty spot of the window: right of the picture, above the first row.
  const POINT kEmpty{200, 4};
  WaitForThePaint(Main());
  EXPECT_EQ(PixelAt(Main(), kEmpty.x, kEmpty.y), RGB(255, 255, 255));
  {
    HighContrastScheme scheme(kDarkScheme, true);
    WaitForThePaint(Main());  // the colour change arrives as WM_SYSCOLORCHANGE
    EXPECT_EQ(PixelAt(Main(), kEmpty.x, kEmpty.y), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(C(Label1), 1, 1), RGB(0, 0, 0)) << "the label's background";
    EXPECT_TRUE(HasPixel(C(Label1), RGB(255, 255, 255))) << "the label's text";
    RECT box = RectInParent(C(CheckBox1));
    EXPECT_EQ(PixelAt(Main(), box.right - 1, box.bottom - 1), RGB(0, 0, 0)) << "round the check box";
    EXPECT_EQ(PixelAt(C(CheckBox1), box.right - box.left - 2, 1), RGB(0, 0, 0))
        << "the check box's background";
    EXPECT_TRUE(HasPixel(C(CheckBox1), kDarkScheme[4])) << "the disabled check box's caption in grey text";
    EXPECT_EQ(PixelAt(C(BitBtn1), 4, 4), RGB(0, 0, 0)) << "the button's face";
    EXPECT_LT(GetRValue(PixelAt(C(Image1), kLogoPlacement.left, kLogoPlacement.top)), 16)
        << "the logo's corner";
    EXPECT_GT(GetRValue(PixelAt(C(Image1), kLogoPlacement.left + 20, kLogoPlacement.top + 50)), 240)
        << "white inside the logo's badge";
    EXPECT_TRUE(HasPixel(C(BitBtn1), RGB(255, 255, 255))) << "the button's caption";

    // For a screenshot of the window in high contrast: scripts/screenshots.sh sets this.
    if (const char* hold = std::getenv("VELMORA_HOLD_WINDOW_MS")) Pump(static_cast<DWORD>(std::atoi(hold)));
  }
  // A light scheme leaves the window white until high contrast comes on, and again once it goes.
  HighContrastScheme scheme(kLightScheme, false);
  WaitForThePaint(Main());  // what the colour change itself makes the system repaint
  for (bool on : {true, false}) {
    HighContrastScheme::Switch(Main(), on);
    WaitForThePaint(Main());
    const COLORREF background = on ? kLightScheme[0] : RGB(255, 255, 255);
    EXPECT_EQ(PixelAt(Main(), kEmpty.x, kEmpty.y), background) << on;
    EXPECT_EQ(PixelAt(C(Label1), 1, 1), background) << on;
  }
}

// Glyph, gap and caption stand centred together, so where the caption's ink ends on the screen
// tells the gap: 4 pixels at 96 DPI, scaled. The caption's own ink is measured by drawing it here.
TEST_F(Form1Contrast, GlyphsStandTheirGapFromTheCaptionOnTheScreen) {
  // The last column, left of right, darker than half the luminance of the row's pixel at right.
  auto lastInk = [](const std::function<COLORREF(int, int)>& pixel, int height, int right) {
    int last = -1;
    for (int y = height / 4; y < 3 * height / 4; ++y) {
      auto lum = [&](int x) { return Luminance(std::uint32_t{pixel(x, y)}); };
      for (int x = 0; x < right; ++x)
        if (lum(x) < lum(right) / 2) last = std::max(last, x);
    }
    return last;
  };
  SetFocus(C(Edit1));  // no focus frame on a button
  for (int dpi : {96, 144}) {
    ChangeDpi(Main(), dpi);
    WaitForThePaint(Main());
    const int glyph = dpi == 96 ? 16 : 24, gap = MulDiv(4, dpi, 96);
    for (ControlId id : {BitBtn1, BitBtn2, BitBtn3}) {
      RECT r{};
      GetWindowRect(C(id), &r);
      const int width = r.right - r.left, height = r.bottom - r.top;
      const std::vector<std::uint32_t> shown = ScreenPixels(r);
      const std::wstring caption = TextOf(C(id));
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ oldBitmap = SelectObject(dc, CreateBitmap(width, height, 1, 32, nullptr));
      HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(C(id), WM_GETFONT, 0, 0)));
      PatBlt(dc, 0, 0, width, height, WHITENESS);
      SIZE text{};
      GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
      TextOutW(dc, 0, (height - text.cy) / 2, caption.c_str(), static_cast<int>(caption.size()));
      const int captionInk = lastInk([&](int x, int y) { return GetPixel(dc, x, y); }, height, width - 1);
      SelectObject(dc, oldFont);
      DeleteObject(SelectObject(dc, oldBitmap));
      DeleteDC(dc);
      const int left = (width - (glyph + gap + text.cx)) / 2;
      EXPECT_EQ(lastInk([&](int x, int y) { return COLORREF{shown[y * width + x]}; }, height, width - 4),
                left + glyph + gap + captionInk)
          << LayoutOf(id).name << " at " << dpi;
    }
  }
}
