#include "ui/clock.h"

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
