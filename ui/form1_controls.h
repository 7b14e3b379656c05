#pragma once
// The main window's child windows, one for each row of the layout table, made and placed at a
// DPI. They belong to the window: this only names them.
#include <windows.h>

#include <array>

#include "ui/controls.h"
#include "ui/layout.h"

class Form1Controls {
 public:
  // Makes every control of the table in form, at dpi; false if one cannot be made.
  bool Create(HWND form, HINSTANCE instance, int dpi);
  // Places every control again, for a new DPI.
  void Place(int dpi) const;
  // Puts a control back at the table's size if it took another of its own.
  void KeepTableSize(ControlId id, int dpi) const;
  // The window has destroyed them.
  void Forget() { controls_.fill(nullptr); }

  HWND Get(ControlId id) const;
  // By row of the layout table.
  const std::array<HWND, kForm1Layout.size()>& All() const { return controls_; }
  StatusBar Bar() const { return StatusBar(Get(StatusBar1)); }

 private:
  std::array<HWND, kForm1Layout.size()> controls_{};
};
