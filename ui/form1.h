#pragma once
// The main window: built from the layout table, its handlers bound to controls by name. It owns
// its parts: the controls (form1_controls.h), the view that paints and scales (form1_view.h),
// the level rows (level_rows.h) and the gate its commands pass one at a time (command_gate.h).
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "record/audio_config_record.h"
#include "ui/command_gate.h"
#include "ui/form1_controls.h"
#include "ui/form1_view.h"
#include "ui/level_rows.h"
#include "ui/open_dialog.h"
#include "ui/save_rule.h"

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
  HWND Control(ControlId id) const { return controls_.Get(id); }
  // The tooltip of the status message, which shows the open file's full path.
  HWND StatusTipWindow() const { return view_.PathTipWindow(); }

  void SetStatusMessage(const std::wstring& text);
  // Panel 1 shows this time of day in the user's long time format.
  void ShowClock(const SYSTEMTIME& time) { view_.ShowClock(time); }

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
  LRESULT OnStepLevel(int controlId, int delta);
  LRESULT OnTimer(UINT_PTR id);
  LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnActivate(bool active);
  LRESULT OnHelp();
  LRESULT OnEnable(bool enabled);
  LRESULT OnDestroy();
  LRESULT OnNcDestroy();
  // The handler bound to a clicked control, if it has one, as one command.
  void RunClickHandler(ControlId id);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  Form1Controls controls_;
  Form1View view_{controls_};
  LevelRows levelRows_;
  CommandGate commands_;
  TOpenDialog OpenDialog1;
  std::wstring openedPath_;  // the file whose levels show, which Save writes
  // The record image the window edits: all zeros until the first load, kept for the whole run.
  AudioConfigRecord record_;
  SaveRule saveRule_;
  HWND lastFocus_ = nullptr;
};
