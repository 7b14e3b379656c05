#include "ui/time_format.h"

#include <string>
#include <string_view>

namespace {

constexpr std::wstring_view kDesignator = L"AMPM";

void AppendNumber(std::wstring& out, int value, bool twoDigits) {
  if (twoDigits && value < 10) out += L'0';
  const std::string digits = std::to_string(value);  // to_wstring would pull in wide printf
  out.append(digits.begin(), digits.end());
}

// One character, counting a UTF-16 surrogate pair as one.
bool IsOneCharacter(std::wstring_view text) {
  if (text.size() == 1) return true;
  return text.size() == 2 && text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF;
}

// How ":" is written: the locale's separator if it is one character, nothing if it is empty,
// else ":" (a longer separator is not taken).
std::wstring_view SeparatorText(const LocaleTime& locale) {
  if (locale.separator.empty()) return {};
  if (IsOneCharacter(locale.separator)) return locale.separator;
  return L":";
}

}  // namespace

std::wstring BuildLongTimeFormat(const LocaleTime& locale) {
  std::wstring format = locale.leadingZero ? L"hh" : L"h";
  format += L":mm:ss";
  if (locale.twelveHour) {
    const std::wstring designator(kDesignator);
    format = locale.designatorFirst ? designator + L' ' + format : format + L' ' + designator;
  }
  return format;
}

std::wstring FormatLongTime(const std::wstring& format, const LocaleTime& locale, int hour, int minute,
                            int second) {
  const std::wstring_view fmt(format);
  const bool twelveHour = fmt.find(kDesignator) != std::wstring_view::npos;
  int shownHour = hour;
  if (twelveHour) {
    shownHour = hour % 12;
    if (shownHour == 0) shownHour = 12;
  }

  std::wstring out;
  size_t i = 0;
  while (i < fmt.size()) {
    const wchar_t c = fmt[i];
    const bool doubled = i + 1 < fmt.size() && fmt[i + 1] == c;
    if (fmt.compare(i, kDesignator.size(), kDesignator) == 0) {
      out += hour < 12 ? locale.am : locale.pm;
      i += kDesignator.size();
    } else if (c == L'h' || c == L'm' || c == L's') {
      AppendNumber(out, c == L'h' ? shownHour : c == L'm' ? minute : second, doubled);
      i += doubled ? 2 : 1;
    } else if (c == L':') {
      out += SeparatorText(locale);
      ++i;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}
