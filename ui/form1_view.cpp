#include "ui/form1_view.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "resources/resource_ids.h"
#include "system/system_functions.h"
#include "ui/glyph_button.h"
#include "ui/high_contrast.h"
#include "ui/icons.h"
#include "ui/logo.h"
#include "ui/system_api.h"

namespace {

// Windows drops visual styles in high contrast. Where a system keeps them (Wine, and any dark
// scheme), the controls would paint the style's light faces under the scheme's light text: the
// window turns them off itself then. A class list naming no class turns a window's style off;
// Wine takes an empty one as none.
void SetVisualStyle(HWND control, bool on) {
  static const auto setWindowTheme = kSetWindowTheme.Find();
  if (control && setWindowTheme) setWindowTheme(control, on ? nullptr : L" ", on ? nullptr : L" ");
}

UniqueFont CreateFormFont(int height, const wchar_t* face, BYTE pitchAndFamily,
                          BYTE quality = CLEARTYPE_QUALITY) {
  return UniqueFont(CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality, pitchAndFamily, face));
}

// The system's status-bar font as a window at this DPI should have it: the system gives it for
// the system DPI.
LOGFONTW StatusFontAt(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;  // XP's size: _WIN32_WINNT is 0x0501
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font = metrics.lfStatusFont;
  } else {
    font.lfHeight = -kWindowFontHeight;
    std::copy(std::begin(kWindowFontFace), std::end(kWindowFontFace), font.lfFaceName);
  }
  font.lfHeight = MulDivRounded(font.lfHeight, dpi, SystemDpi());
  return font;
}

}  // namespace

void Form1View::Attach(HWND form, HINSTANCE instance) {
  form_ = form;
  instance_ = instance;
  dpi_ = WindowDpi(form);
  SetUpControls(false);  // nothing shows yet, so nothing to redraw
  statusTip_.Attach(controls_.Bar());
  if (dpi_ != SystemDpi()) ApplyIcons();
  ReadContrast();  // and the logo, on the window's colour
}

void Form1View::SetUpControls(bool redraw) {
  // Every control gets its new font and glyph before the old ones are deleted, when the members
  // take the new ones at the end: no control is ever left holding a deleted font or bitmap.
  UniqueFont windowFont =
      CreateFormFont(ScaleForDpi(kWindowFontHeight, dpi_), kWindowFontFace, DEFAULT_PITCH | FF_SWISS);
  UniqueFont labelFont =
      CreateFormFont(ScaleForDpi(kLabelFontHeight, dpi_), kLabelFontFace, FIXED_PITCH | FF_MODERN);
  // Smoothing would fade the thin strokes of the disabled caption's grey below what reads.
  UniqueFont captionFont = CreateFormFont(ScaleForDpi(kLabelFontHeight, dpi_), kLabelFontFace,
                                          FIXED_PITCH | FF_MODERN, NONANTIALIASED_QUALITY);
  int glyphSize = GlyphSizeForDpi(dpi_);
  std::array<UniqueBitmap, kForm1Layout.size()> glyphs;
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    const ControlLayout& c = kForm1Layout[i];
    const ControlWindow control(controls_.All()[i]);
    if (c.glyph) glyphs[i] = LoadGlyph(instance_, GlyphResourceId(c.glyph, glyphSize));
    if (c.font == FontKind::Window || c.font == FontKind::Label)
      control.SetFont(c.font == FontKind::Label ? labelFont.get() : windowFont.get(), redraw);
    // After the font, which resets the margins: a 17-pixel box would draw its digit under the caret.
    if (c.kind == ControlKind::Edit)
      EditBox(controls_.All()[i]).SetMargins(ScaleForDpi(kEditLeftMargin, dpi_), 0);
    if (c.kind == ControlKind::SpeedButton)
      SetSpeedButtonGlyph(controls_.All()[i], glyphs[i].get(), glyphSize);
  }
  windowFont_ = std::move(windowFont);
  labelFont_ = std::move(labelFont);
  checkBoxFont_ = std::move(captionFont);
  glyphs_ = std::move(glyphs);
  glyphSize_ = glyphSize;
  const int parts[] = {ScaleForDpi(kStatusPanel0Width, dpi_), -1};
  controls_.Bar().SetParts(parts);
  FitStatusFont(redraw);
}

void Form1View::FitStatusFont(bool redraw) {
  const StatusBar bar = controls_.Bar();
  RECT part = bar.PartRect(1);
  LOGFONTW font = StatusFontAt(dpi_);
  const LONG sign = font.lfHeight < 0 ? -1 : 1;
  auto fontOfHeight = [&](int height) {
    font.lfHeight = sign * height;
    return UniqueFont(CreateFontIndirectW(&font));
  };
  int height = sign * font.lfHeight;
  // The clock's panel is empty until its first tick: only then is the clock measured against it.
  if (clockShown_) {
    UniqueScreenDc screen(GetDC(nullptr));
    height = FittedFontHeight(height, ScaleForDpi(8, dpi_), [&](int candidate) {
      UniqueFont tried = fontOfHeight(candidate);
      ScopedSelect select(screen.get(), tried.get());
      return ClockFits(part.right - part.left, clock_.WidestTextWidth(screen.get()), dpi_);
    });
  }
  UniqueFont fitted = fontOfHeight(height);
  bar.SetFont(fitted.get(), redraw);
  statusFont_ = std::move(fitted);  // the bar's old font is deleted only now
}

void Form1View::ApplyIcons() {
  // Sized for this DPI, so the title bar and the task switcher never shrink a larger image.
  UniqueIcon small(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kSmallIconSize, dpi_)));
  WindowSetIcon(form_, ICON_SMALL, small.get());
  smallIcon_ = std::move(small);  // the icon the window used before is released only now
  // The large one only once given out; set, so that whoever holds it hears of the new one.
  if (largeIcon_) {
    UniqueIcon large(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kLargeIconSize, dpi_)));
    WindowSetIcon(form_, ICON_BIG, large.get());
    largeIcon_ = std::move(large);
  }
}

LRESULT Form1View::OnGetIcon(WPARAM which, LPARAM dpi) {
  // The small icon is the class's until the window needs one for another DPI.
  if (which != ICON_BIG && !smallIcon_) return static_cast<LRESULT>(GetClassLongPtrW(form_, GCLP_HICONSM));
  // The large icon is not in the window's title bar: it is made when the task switcher or the
  // taskbar first asks, and given to them without setting it, which would redraw the frame.
  if (which != ICON_BIG) return DefWindowProcW(form_, WM_GETICON, which, dpi);
  if (!largeIcon_)
    largeIcon_.reset(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kLargeIconSize, dpi_)));
  return reinterpret_cast<LRESULT>(largeIcon_.get());
}

void Form1View::ReadContrast() {
  ForgetButtonStyle();
  bool on = FollowSchemeColors();
  if (on != followScheme_) {
    followScheme_ = on;
    for (HWND control : controls_.All()) SetVisualStyle(control, !on);
    SetVisualStyle(statusTip_.Handle(), !on);
  }
  if (BackgroundColor() != logoBackground_) {
    logo_ = LoadLogo(instance_, BackgroundColor());
    logoBackground_ = BackgroundColor();
  }
  // Every child too: a label paints with the colours the window gives it only when it repaints.
  if (form_) RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Form1View::SetPathTip(const std::wstring& text) {
  if (statusTip_.SetText(text) && followScheme_) SetVisualStyle(statusTip_.Handle(), false);
}

// White with black text unless the user's scheme is dark or high contrast; then the system's
// window colours throughout.
COLORREF Form1View::BackgroundColor() const {
  return followScheme_ ? GetSysColor(COLOR_WINDOW) : kFixedBackground;
}

COLORREF Form1View::TextColor() const { return followScheme_ ? GetSysColor(COLOR_WINDOWTEXT) : kFixedText; }

HBRUSH Form1View::BackgroundBrush() const {
  return followScheme_ ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

HBITMAP Form1View::GlyphBitmap(ControlId id) const {
  std::size_t i = LayoutIndexOf(id);
  return i < glyphs_.size() ? glyphs_[i].get() : nullptr;
}

LRESULT Form1View::OnSysColorChange(WPARAM wParam, LPARAM lParam) {
  // Common controls learn of new colours only from their parent.
  for (HWND control : controls_.All()) SendMessageW(control, WM_SYSCOLORCHANGE, wParam, lParam);
  ReadContrast();
  return 0;
}

LRESULT Form1View::OnSettingChange(WPARAM wParam, LPARAM lParam) {
  ReadContrast();  // high contrast on or off, or a new scheme
  if (lParam && lstrcmpiW(reinterpret_cast<LPCWSTR>(lParam), L"intl") == 0) {
    clock_.Rebuild();
    FitStatusFont(true);  // the new format may be wider
  } else if (wParam == SPI_SETNONCLIENTMETRICS) {
    FitStatusFont(true);
  }
  return DefWindowProcW(form_, WM_SETTINGCHANGE, wParam, lParam);
}

LRESULT Form1View::OnThemeChanged() {
  ReadContrast();  // a style turned on or off may change what the scheme asks of the window
  return 0;
}

LRESULT Form1View::OnDpiChanged(WPARAM dpis, const RECT* suggested) {
  const int dpiX = LOWORD(dpis), dpiY = HIWORD(dpis);
  // Windows always sends one DPI for both axes and the window's new frame. Anything else is
  // a broken message: acting on it would blank the window or push every control off-screen.
  if (dpiX != dpiY || !IsSaneDpi(dpiY) || !suggested || suggested->right <= suggested->left ||
      suggested->bottom <= suggested->top)
    return 0;
  dpi_ = dpiY;
  ForgetButtonStyle();
  controls_.Place(dpi_);
  SetUpControls(true);
  statusTip_.Place();
  InvalidateRect(form_, nullptr, TRUE);
  ApplyIcons();
  SetWindowPos(form_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

LRESULT Form1View::OnEraseBackground(HDC dc) {
  RECT client{};
  GetClientRect(form_, &client);
  FillRect(dc, &client, BackgroundBrush());
  return TRUE;
}

// Labels, the check box and the level boxes: the window's background and its text colour.
LRESULT Form1View::OnControlColor(HDC dc) const {
  SetBkColor(dc, BackgroundColor());
  SetTextColor(dc, TextColor());
  return reinterpret_cast<LRESULT>(BackgroundBrush());
}

LRESULT Form1View::OnCheckBoxDraw(const NMCUSTOMDRAW& draw) const {
  // The form draws the caption in every scheme, in the colour for disabled text: the button's own
  // drawing greys it too faintly to read, or on a dark scheme embosses it in the 3-D colours,
  // which look no different from enabled text. The box too, its frame and tick in the caption's
  // colour: the style's disabled tick is a faint grey, and the system's classic one is drawn in
  // the scheme's shadow, which may be darker than the box. Over the style's drawing, or instead
  // of the button's own in the user's colours.
  const bool own = followScheme_ && draw.dwDrawStage == CDDS_PREPAINT;
  if (!followScheme_ && draw.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
  if (!own && draw.dwDrawStage != CDDS_POSTPAINT) return CDRF_DODEFAULT;
  const Button box(draw.hdr.hwndFrom);
  bool enabled = IsWindowEnabled(box.Handle()) != FALSE;
  const RECT& r = draw.rc;
  int size = ScaleForDpi(kCheckBoxSize, dpi_);
  RECT mark{r.left, r.top + (r.bottom - r.top - size) / 2, r.left + size, 0};
  mark.bottom = mark.top + size;
  RECT text{mark.right, r.top, r.right, r.bottom};
  const COLORREF ink =
      enabled ? TextColor() : DisabledTextColor(GetSysColor(COLOR_GRAYTEXT), TextColor(), BackgroundColor());
  if (!own) FillRect(draw.hdc, &r, BackgroundBrush());  // over the style's box and caption
  DrawCheckBoxMark(draw.hdc, mark, box.Checked(), ink, BackgroundBrush());
  ScopedSelect font(draw.hdc, checkBoxFont_.get());
  SIZE zero{};
  GetTextExtentPoint32W(draw.hdc, L"0", 1, &zero);  // the box and caption stand half a digit apart
  text.left += zero.cx / 2;
  std::wstring caption = box.Text();
  SetBkMode(draw.hdc, TRANSPARENT);
  SetTextColor(draw.hdc, ink);
  DrawTextW(draw.hdc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  return own ? CDRF_SKIPDEFAULT : CDRF_DODEFAULT;
}

LRESULT Form1View::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID == Image1) {
    FillRect(item.hDC, &item.rcItem, BackgroundBrush());
    if (!logo_) return TRUE;
    UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
    ScopedSelect select(source.get(), logo_.get());
    LayoutRect at = ScaleForDpi(kLogoPlacement, dpi_);
    // Smoothed when scaled; at its own size a copy, as smoothing costs milliseconds a paint.
    if (at.width == kLogoPlacement.width && at.height == kLogoPlacement.height) {
      BitBlt(item.hDC, at.left, at.top, at.width, at.height, source.get(), 0, 0, SRCCOPY);
      return TRUE;
    }
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchBlt(item.hDC, at.left, at.top, at.width, at.height, source.get(), 0, 0, kLogoPlacement.width,
               kLogoPlacement.height, SRCCOPY);
    return TRUE;
  }
  DrawGlyphButton(item, GlyphBitmap(static_cast<ControlId>(item.CtlID)), glyphSize_,
                  ScaleForDpi(kGlyphGap, dpi_), BackgroundBrush());
  return TRUE;
}

void Form1View::ShowClock(const SYSTEMTIME& time) {
  if (!clockShown_) {
    clockShown_ = true;
    FitStatusFont(true);
  }
  controls_.Bar().SetPartText(1, L"\t" + clock_.Text(time));  // a leading tab centres it
}
