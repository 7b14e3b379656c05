// The clock's long time format, built from the user's locale; no <windows.h>, so the host build
// tests it.
//
// Format notation: "h" hour, "hh" hour with two digits, "m"/"mm" minutes, "s"/"ss" seconds,
// "AMPM" the locale's designator (its presence also makes hours run 1..12), ":" the locale's
// time separator; every other character stands for itself.
#pragma once

#include <string>

struct LocaleTime {              // what the user's locale says; defaults are used when it cannot be queried
  bool leadingZero = false;      // hours with a leading zero
  bool twelveHour = false;       // 12-hour clock with AM/PM designator
  bool designatorFirst = false;  // designator before the time
  std::wstring am = L"am", pm = L"pm";
  std::wstring separator = L":";  // the locale's time separator, as the locale gives it
};

// "hh:mm:ss", "h:mm:ss AMPM" or "AMPM h:mm:ss" and so on.
std::wstring BuildLongTimeFormat(const LocaleTime& locale);

// The time of day (hour 0..23) written in `format`, with the designator texts and separator of
// `locale`.
std::wstring FormatLongTime(const std::wstring& format, const LocaleTime& locale, int hour, int minute,
                            int second);
