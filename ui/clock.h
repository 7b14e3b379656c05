#pragma once
#include <windows.h>

#include <string>

#include "ui/time_format.h"

// The user's time-of-day settings; the defaults stand for anything the locale cannot tell.
LocaleTime ReadUserLocaleTime();

// The status bar clock: the long time format, built again when the regional settings change.
class Clock {
 public:
  Clock() { Rebuild(); }
  void Rebuild();
  std::wstring Text(const SYSTEMTIME& now) const;
  // The width of the widest text the clock can show, in the font selected into dc.
  int WidestTextWidth(HDC dc) const;

 private:
  LocaleTime locale_;
  std::wstring format_;
};
