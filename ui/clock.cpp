#include "ui/clock.h"

#include <algorithm>
#include <optional>

namespace {

std::optional<std::wstring> LocaleString(LCTYPE type) {
  int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring value(static_cast<std::size_t>(length), L'\0');
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, value.data(), length) <= 0) return std::nullopt;
  value.resize(static_cast<std::size_t>(length - 1));
  return value;
}

std::optional<DWORD> LocaleNumber(LCTYPE type) {
  DWORD value = 0;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&value),
                     sizeof value / sizeof(wchar_t)) <= 0)
    return std::nullopt;
  return value;
}

}  // namespace

LocaleTime ReadUserLocaleTime() {
  LocaleTime t;
  if (auto zero = LocaleNumber(LOCALE_ITLZERO)) t.leadingZero = *zero != 0;
  if (auto clock24 = LocaleNumber(LOCALE_ITIME)) t.twelveHour = *clock24 == 0;
  if (auto first = LocaleNumber(LOCALE_ITIMEMARKPOSN)) t.designatorFirst = *first != 0;
  if (auto am = LocaleString(LOCALE_S1159)) t.am = *am;
  if (auto pm = LocaleString(LOCALE_S2359)) t.pm = *pm;
  if (auto separator = LocaleString(LOCALE_STIME)) t.separator = *separator;
  return t;
}

void Clock::Rebuild() {
  locale_ = ReadUserLocaleTime();
  format_ = BuildLongTimeFormat(locale_);
}

std::wstring Clock::Text(const SYSTEMTIME& now) const {
  return FormatLongTime(format_, locale_, now.wHour, now.wMinute, now.wSecond);
}

int Clock::WidestTextWidth(HDC dc) const {
  auto width = [dc](const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return static_cast<int>(size.cx);
  };
  // Digits may differ in width: minutes and seconds with the widest digits they can have, and
  // every hour, each with its designator.
  int tens = 0, units = 0;
  for (int digit = 1; digit <= 9; ++digit) {
    int w = width(std::wstring(1, static_cast<wchar_t>(L'0' + digit)));
    if (w > width(std::wstring(1, static_cast<wchar_t>(L'0' + units)))) units = digit;
    if (digit <= 5 && w > width(std::wstring(1, static_cast<wchar_t>(L'0' + tens)))) tens = digit;
  }
  int widest = 0;
  for (int hour = 0; hour < 24; ++hour)
    widest =
        std::max(widest, width(FormatLongTime(format_, locale_, hour, tens * 10 + units, tens * 10 + units)));
  return widest;
}
