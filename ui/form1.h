#pragma once
// The main window: built from the layout table, its handlers bound to controls by name.
#include <windows.h>

#include <array>
#include <string>

#include "ui/clock.h"
#include "ui/layout.h"
#include "ui/open_dialog.h"
#include "ui/win_handle.h"

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

  void SetStatusMessage(const std::wstring& text);

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
  void OnCommand(int id, int code);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void OnDpiChanged(int dpi, const RECT* suggested);
  void OnActivate(bool active);
  void ApplyLayout();
  HWND CreateControl(const ControlLayout& c);
  HFONT FontFor(FontKind kind) const;
  HBITMAP GlyphBitmap(Glyph glyph) const;
  int LevelToSave(int slot) const;
  void ShowLevel(int slot, int level);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  int dpi_ = kBaseDpi;
  std::array<HWND, kForm1Layout.size()> controls_{};
  UniqueFont windowFont_;
  UniqueFont labelFont_;
  std::array<UniqueBitmap, 4> glyphs_;
  UniqueBitmap logo_;
  Clock clock_;
  TOpenDialog OpenDialog1;
  HWND lastFocus_ = nullptr;
  bool recordLoaded_ = false;  // the current path names a file that was loaded successfully
};
