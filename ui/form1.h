#pragma once
// The main window: built from the layout table, its handlers bound to controls by name.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>

#include "system/resource.h"
#include "ui/clock.h"
#include "ui/layout.h"
#include "ui/level_text.h"
#include "ui/open_dialog.h"
#include "ui/save_rule.h"
#include "ui/status_tip.h"

class TForm1 {
 public:
  static constexpr wchar_t kClassName[] = L"TForm1";
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1Interval = 1000;
  // Sent by a level box for Up and Down: wParam is the box's id, lParam the step.
  static constexpr UINT kStepLevelMessage = WM_APP + 1;

  TForm1() = default;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;
  ~TForm1();

  // Creates the window, centred on the primary screen, and shows it as the launch asked.
  bool Create(HINSTANCE instance, int showCommand);
  HWND Handle() const { return hwnd_; }
  HWND Control(ControlId id) const;
  // The tooltip of the status message, which shows the open file's full path.
  HWND StatusTipWindow() const { return statusTip_.Handle(); }

  void SetStatusMessage(const std::wstring& text);
  // Panel 1 shows this time of day in the user's long time format.
  void ShowClock(const SYSTEMTIME& time);

  void FormCreate();
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void SpeedButton1Click();
  void Timer1Timer();

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCreate();
  LRESULT OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnCheckBoxDraw(const NMCUSTOMDRAW& draw) const;
  LRESULT OnStepLevel(int controlId, int delta);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnTimer(UINT_PTR id);
  LRESULT OnSysColorChange(WPARAM wParam, LPARAM lParam);
  LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnDpiChanged(WPARAM dpis, const RECT* suggested);  // dpis: the new DPI across, down
  LRESULT OnActivate(bool active);
  LRESULT OnHelp();
  LRESULT OnThemeChanged();
  LRESULT OnDestroy();
  LRESULT OnNcDestroy();
  // One command at a time: a click that arrives while one runs, or its box shows, does nothing.
  void RunCommand(void (TForm1::*handler)());
  void ShowFailure(const char* message);
  // Fonts, margins, glyphs and status panels, for the controls as placed at dpi_.
  void SetUpControls(bool redraw);
  // The system's status-bar font, smaller only if the widest clock would not clear its panel.
  void FitStatusFont(bool redraw);
  // Places the controls again for a new DPI.
  void ApplyLayout();
  void ApplyIcons();
  void ReadContrast();
  COLORREF BackgroundColor() const;
  COLORREF TextColor() const;
  LRESULT OnControlColor(HDC dc) const;
  HBRUSH BackgroundBrush() const;
  HWND CreateControl(const ControlLayout& c);
  HBITMAP GlyphBitmap(ControlId id) const;
  int SlotOf(int controlId) const;
  void StepLevel(int slot, int delta);
  int LevelToSave(int slot) const;
  void ShowLevel(int slot, int level);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = kBaseDpi;
  std::array<HWND, kForm1Layout.size()> controls_{};
  UniqueFont windowFont_;
  UniqueFont labelFont_;
  UniqueFont statusFont_;
  std::array<UniqueBitmap, kForm1Layout.size()> glyphs_;  // by control, as the table names them
  int glyphSize_ = kGlyphSizes[0];
  UniqueBitmap logo_;
  COLORREF logoBackground_ = CLR_INVALID;  // the colour logo_ was set on
  UniqueIcon smallIcon_;
  UniqueIcon largeIcon_;
  Clock clock_;
  TOpenDialog OpenDialog1;
  StatusTip statusTip_;
  HWND lastFocus_ = nullptr;
  bool followScheme_ = false;    // the user's colours, not the fixed white and black
  bool commandRunning_ = false;  // while a button's command runs, or a failure's box shows
  // The last value each level box held that counts, whatever its text says now.
  std::array<int, 4> levels_{kLevelMin, kLevelMin, kLevelMin, kLevelMin};
  SaveRule saveRule_;
};
