#pragma once
// The window class and styles each kind of control in the layout table is created with: the
// form builds its window from them, and the start-up floor its copy of the same controls.
#include <windows.h>

#include <commctrl.h>

#include "ui/glyph_button.h"
#include "ui/layout.h"

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD exStyle;
};

inline ControlClass ControlClassOf(const ControlLayout& c) {
  ControlClass cls{WC_STATICW, WS_CHILD | WS_VISIBLE, 0};
  switch (c.kind) {
    case ControlKind::Picture:
      cls.style |= SS_OWNERDRAW;
      break;
    case ControlKind::Label:
      cls.style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::Edit:
      cls = {WC_EDITW, cls.style | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
      break;
    case ControlKind::UpDown:
      cls = {UPDOWN_CLASSW, cls.style | UDS_NOTHOUSANDS, 0};
      break;
    case ControlKind::GlyphButton:
      cls = {WC_BUTTONW, cls.style | BS_OWNERDRAW, 0};
      break;
    case ControlKind::CheckBox:
      cls = {WC_BUTTONW, cls.style | BS_AUTOCHECKBOX, 0};
      break;
    case ControlKind::SpeedButton:
      cls.name = kSpeedButtonClass;
      break;
    case ControlKind::StatusBar:
      // Placed by the layout like every other control; the window never changes size.
      cls = {STATUSCLASSNAMEW, cls.style | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0};
      break;
  }
  if (c.flags & kTabStop) cls.style |= WS_TABSTOP;
  if (c.flags & kDisabled) cls.style |= WS_DISABLED;
  return cls;
}
