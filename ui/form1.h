#pragma once
// The main window: built from the layout table, its handlers bound to controls by name. Its
// code is split by job: the window and its messages (form1.cpp), the view (form1_view.cpp:
// layout, DPI, fonts, colours, painting) and the commands (form1_commands.cpp).
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <string>

#include "record/audio_config_record.h"
#include "system/resource.h"
#include "ui/clock.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/level_rows.h"
#include "ui/open_dialog.h"
#include "ui/save_rule.h"
#include "ui/status_tip.h"

class TForm1 {
 public:
  static constexpr wchar_t kClassName[] = L"TForm1";
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1Interval = 1000;

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
  // The window and its messages: form1.cpp.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCreate();
  LRESULT OnCommand(int id, int code);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnStepLevel(int controlId, int delta);
  LRESULT OnTimer(UINT_PTR id);
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnActivate(bool active);
  LRESULT OnHelp();
  LRESULT OnDestroy();
  LRESULT OnNcDestroy();
  HWND CreateControl(const ControlLayout& c);
  StatusBar Bar() const { return StatusBar(Control(StatusBar1)); }

  // The view: form1_view.cpp.
  LRESULT OnCheckBoxDraw(const NMCUSTOMDRAW& draw) const;
  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnControlColor(HDC dc) const;
  LRESULT OnSysColorChange(WPARAM wParam, LPARAM lParam);
  LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
  LRESULT OnThemeChanged();
  LRESULT OnDpiChanged(WPARAM dpis, const RECT* suggested);  // dpis: the new DPI across, down
  // Fonts, margins, glyphs and status panels, for the controls as placed at dpi_.
  void SetUpControls(bool redraw);
  // The system's status-bar font, smaller only if the widest clock would not clear its panel.
  void FitStatusFont(bool redraw);
  // Places the controls again for a new DPI.
  void ApplyLayout();
  void ApplyIcons();
  LRESULT OnGetIcon(WPARAM which, LPARAM dpi);
  // The scheme's colours or the fixed ones, the controls' visual style to match, and a repaint.
  void ReadContrast();
  // The status message's tooltip says this; made, in the window's style, when first needed.
  void SetPathTip(const std::wstring& text);
  COLORREF BackgroundColor() const;
  COLORREF TextColor() const;
  HBRUSH BackgroundBrush() const;
  HBITMAP GlyphBitmap(ControlId id) const;

  // The commands: form1_commands.cpp. One at a time: a click that arrives while one runs, or
  // its box shows, does nothing.
  void RunCommand(void (TForm1::*handler)());
  // The handler bound to a clicked control, if it has one, as one command.
  void RunClickHandler(ControlId id);
  // A box the command showed has closed: the command holds the thread again from now.
  LRESULT OnEnable(bool enabled);
  void ShowFailure(const char* message);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = kBaseDpi;
  std::array<HWND, kForm1Layout.size()> controls_{};  // by row of the layout table
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
  TOpenDialog OpenDialog1;
  std::wstring openedPath_;  // the file whose levels show, which Save writes
  StatusTip statusTip_;
  LevelRows levelRows_;
  // The record image the window edits: all zeros until the first load, kept for the whole run.
  AudioConfigRecord record_;
  HWND lastFocus_ = nullptr;
  bool followScheme_ = false;    // the user's colours, not the fixed white and black
  bool clockShown_ = false;      // the status font is fitted to the clock once it shows
  bool commandRunning_ = false;  // while a button's command runs, or a failure's box shows
  DWORD heldSince_ = 0;          // input from this time on came while the command held the thread
  SaveRule saveRule_;
};
