#pragma once
// The main window's view: fonts, margins, glyphs and icons at the window's DPI, the colours it
// draws with, what it paints itself, the clock and the path's tooltip in the status bar.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>

#include "system/resource.h"
#include "ui/clock.h"
#include "ui/form1_controls.h"
#include "ui/layout.h"
#include "ui/status_tip.h"

class Form1View {
 public:
  explicit Form1View(const Form1Controls& controls) : controls_(controls) {}
  Form1View(const Form1View&) = delete;
  Form1View& operator=(const Form1View&) = delete;

  // Once the controls are made, before anything shows: everything at the window's DPI.
  void Attach(HWND form, HINSTANCE instance);
  int Dpi() const { return dpi_; }

  // Panel 1 shows this time of day in the user's long time format.
  void ShowClock(const SYSTEMTIME& time);
  // The status message's tooltip says this; made, in the window's style, when first needed.
  void SetPathTip(const std::wstring& text);
  HWND PathTipWindow() const { return statusTip_.Handle(); }

  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnCheckBoxDraw(const NMCUSTOMDRAW& draw) const;
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnControlColor(HDC dc) const;
  LRESULT OnSysColorChange(WPARAM wParam, LPARAM lParam);
  LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
  LRESULT OnThemeChanged();
  LRESULT OnDpiChanged(WPARAM dpis, const RECT* suggested);  // dpis: the new DPI across, down
  LRESULT OnGetIcon(WPARAM which, LPARAM dpi);

 private:
  // Fonts, margins, glyphs and status panels, for the controls as placed at dpi_.
  void SetUpControls(bool redraw);
  // The system's status-bar font, smaller only if the widest clock would not clear its panel.
  void FitStatusFont(bool redraw);
  void ApplyIcons();
  // The scheme's colours or the fixed ones, the controls' visual style to match, and a repaint.
  void ReadContrast();
  COLORREF BackgroundColor() const;
  COLORREF TextColor() const;
  HBRUSH BackgroundBrush() const;
  HBITMAP GlyphBitmap(ControlId id) const;

  const Form1Controls& controls_;
  HWND form_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = kBaseDpi;
  UniqueFont windowFont_;
  UniqueFont labelFont_;
  UniqueFont checkBoxFont_;  // the labels' font unsmoothed, for the check box's grey caption
  UniqueFont statusFont_;
  std::array<UniqueBitmap, kForm1Layout.size()> glyphs_;  // by control, as the table names them
  int glyphSize_ = kGlyphSizes[0];
  UniqueBitmap logo_;
  COLORREF logoBackground_ = CLR_INVALID;  // the colour logo_ was set on
  UniqueIcon smallIcon_;
  UniqueIcon largeIcon_;
  Clock clock_;
  StatusTip statusTip_;
  bool followScheme_ = false;  // the user's colours, not the fixed white and black
  bool clockShown_ = false;    // the status font is fitted to the clock once it shows
};
