#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <tuple>

#include "ui/level_text.h"
#include "ui/message_text.h"
#include "ui/scheme_colors.h"
#include "ui/time_format.h"

namespace {

TEST(LevelText, ClampShowsNearestBound) {
  const struct { int loaded, shown; } cases[] = {{0, 1}, {-1, 1}, {1, 1}, {3, 3}, {6, 6}, {7, 6}, {255, 6}};
  for (const auto& c : cases) EXPECT_EQ(ClampLevel(c.loaded), c.shown) << "loaded " << c.loaded;
}

TEST(LevelText, ParseAcceptsOnlyWholeNumbersInRange) {
  const std::nullopt_t no = std::nullopt;
  const struct {
    const wchar_t* text;
    std::optional<int> value;
  } cases[] = {
      // clang-format off
      {L"1", 1},    {L"6", 6},    {L"03", 3},    {L"0006", 6},
      {L"", no},    {L"0", no},   {L"00", no},   {L"7", no},    {L"9", no},  {L"10", no},
      {L"abc", no}, {L"+3", no},  {L"-3", no},   {L" 3", no},   {L"3 ", no}, {L"3x", no},
      {L"3.0", no},
      {L"\uFF13", no},  // a fullwidth 3 is not a decimal digit here
      {L"99999999999999999999", no},  // long enough to overflow a naive parse
      {L"00000000000000000000004", 4},
      // What the up-down control's own parser reads as 5, and what a user can type or paste.
      {L"5,", no},  {L"1,", no},  {L"\t5", no}, {L"5\n", no},
      {L"\uFF15", no},  // fullwidth 5
      {L"\u0665", no},  // Arabic-Indic 5
      {L"\u06F5", no},  // extended Arabic-Indic 5
      {L"\u096B", no},  // Devanagari 5
      {L"\u00B2", no},  // superscript 2
      {L"5\u200B", no}, // a zero-width space after it
      // clang-format on
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLevelText(c.text), c.value) << "text \"" << c.text << '"';
}

TEST(LevelText, SaveFallsBackToPreviousValue) {
  const struct {
    const wchar_t* text;
    int previous, saved;
  } cases[] = {{L"5", 2, 5}, {L"abc", 4, 4}, {L"02", 5, 2}};
  for (const auto& c : cases)
    EXPECT_EQ(LevelForSave(c.text, c.previous), c.saved) << "text \"" << c.text << '"';
}

TEST(LevelText, StepsByOneFromWhatCountsAndStopsAtTheBounds) {
  const struct {
    const wchar_t* text;
    int previous, delta, stepped;
  } cases[] = {
      {L"5", 5, -1, 4},         {L"4", 5, 1, 5},   // the text that counts, whatever was held before
      {L"1", 1, -1, 1},         {L"6", 6, 1, 6},   // no wrapping
      {L"abc", 3, 1, 4},        {L"", 2, -1, 1},   // text that does not count: from the last value
      {L"3", 3, 5, 6},          {L"3", 3, -5, 1},  // a held arrow's larger step
      {L"3", 3, 2147483647, 6}, {L"3", 3, -2147483647 - 1, 1},
      {L"x", 0, 1, 2},          {L"x", 99, -1, 5},  // a previous value outside the range is clamped first
  };
  for (const auto& c : cases)
    EXPECT_EQ(StepLevel(c.text, c.previous, c.delta), c.stepped)
        << "text \"" << c.text << "\" previous " << c.previous << " delta " << c.delta;
}

TEST(MessageText, FullStopOnlyAfterBytesSortingAfterIt) {
  const struct {
    const char* message;
    const wchar_t* shown;
  } cases[] = {
      {"File not found", L"File not found."},
      {"I/O error 32", L"I/O error 32."},
      {"File access denied", L"File access denied."},
      {"Done!", L"Done!"},
      {"Done.", L"Done."},
      {"", L""},
      {"Stopped,", L"Stopped,"},  // ',' and ')' and ' ' sort before '.'
      {"(code 5)", L"(code 5)"},
      {"trailing ", L"trailing "},
      {"C:/", L"C:/."},    // '/' sorts just after '.'
      {"Файл", L"Файл."},  // the last byte of a multibyte character is above 0x7F
      {"\xF0\x9F\x94\x8A", L"\U0001F50A."},
      {"bad \xFF", L"bad \uFFFD."},
      {"cut \xE2\x82", L"cut \uFFFD."},
      {"cut \xE2\x82!", L"cut \uFFFD!"},     // the byte that broke the sequence is read afresh
      {"\xC0\xAF!", L"\uFFFD\uFFFD!"},       // overlong '/'
      {"\xED\xA0\x80", L"\uFFFD."},          // an encoded surrogate
      {"\xE0\x9F\xBF", L"\uFFFD."},          // overlong U+07FF in three bytes
      {"\xE0\xA0\x80", L"\u0800."},          // the first three-byte character
      {"\xF0\x8F\xBF\xBF", L"\uFFFD."},      // overlong U+FFFF in four bytes
      {"\xF0\x90\x80\x80", L"\U00010000."},  // the first pair of surrogates where wchar_t is 16 bits
      {"\xF4\x8F\xBF\xBF", L"\U0010FFFF."},
      {"\xF4\x90\x80\x80", L"\uFFFD."},  // past U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.shown) << "message \"" << c.message << '"';
}

TEST(MessageText, PathsBreakAfterTheirFoldersAndLongNamesAtTheEdge) {
  const struct {
    const wchar_t* path;
    const wchar_t* wrapped;  // at most 8 characters a line
  } cases[] = {
      {L"C:\\a\\b", L"C:\\a\\b"},
      {L"C:\\a\\b.db", L"C:\\a\\\r\nb.db"},
      {L"C:\\phone\\audio_cfg.db", L"C:\\\r\nphone\\\r\naudio_cf\r\ng.db"},
      {L"C:\\ab\\cd\\ef", L"C:\\ab\\\r\ncd\\ef"},
      {L"x\r\nD:\\y", L"x\r\nD:\\y"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WrapPath(c.path, [](const std::wstring& line) { return line.size() <= 8; }), c.wrapped);
}

LocaleTime Locale(bool leadingZero, bool twelveHour, bool designatorFirst = false, std::wstring am = L"am",
                  std::wstring pm = L"pm", std::wstring separator = L":") {
  return LocaleTime{leadingZero,   twelveHour,    designatorFirst,
                    std::move(am), std::move(pm), std::move(separator)};
}

TEST(TimeFormat, BuildsFromLocaleAndFormats) {
  const LocaleTime german = Locale(true, false);
  const LocaleTime us = Locale(false, true, false, L"AM", L"PM");
  const LocaleTime plain24 = Locale(false, false);
  const LocaleTime korean = Locale(false, true, true, L"오전", L"오후");
  const LocaleTime zero12 = Locale(true, true);
  const struct {
    const char* name;
    LocaleTime locale;
    const wchar_t* format;
    int h, m, s;
    const wchar_t* shown;
  } cases[] = {
      {"24h leading zero morning", german, L"hh:mm:ss", 9, 5, 7, L"09:05:07"},
      {"24h leading zero midnight", german, L"hh:mm:ss", 0, 0, 0, L"00:00:00"},
      {"24h leading zero evening", german, L"hh:mm:ss", 23, 59, 59, L"23:59:59"},
      {"two digits from ten on", german, L"hh:mm:ss", 10, 10, 10, L"10:10:10"},
      {"US morning", us, L"h:mm:ss AMPM", 9, 5, 7, L"9:05:07 AM"},
      {"US evening", us, L"h:mm:ss AMPM", 21, 5, 7, L"9:05:07 PM"},
      {"US midnight shows 12", us, L"h:mm:ss AMPM", 0, 0, 0, L"12:00:00 AM"},
      {"US last morning second", us, L"h:mm:ss AMPM", 11, 59, 59, L"11:59:59 AM"},
      {"US noon", us, L"h:mm:ss AMPM", 12, 0, 0, L"12:00:00 PM"},
      {"24h no zero evening", plain24, L"h:mm:ss", 21, 5, 7, L"21:05:07"},
      {"24h no zero morning", plain24, L"h:mm:ss", 9, 5, 7, L"9:05:07"},
      {"designator first morning", korean, L"AMPM h:mm:ss", 9, 5, 7, L"오전 9:05:07"},
      {"designator first evening", korean, L"AMPM h:mm:ss", 21, 5, 7, L"오후 9:05:07"},
      {"12h leading zero", zero12, L"hh:mm:ss AMPM", 13, 5, 7, L"01:05:07 pm"},
      {"12h leading zero midnight", zero12, L"hh:mm:ss AMPM", 0, 5, 7, L"12:05:07 am"},
      // The designator and the separator are inserted as text, never read as format letters.
      {"designator with format letters", Locale(false, true, false, L"hmsAMPM", L"x"), L"h:mm:ss AMPM", 9, 5,
       7, L"9:05:07 hmsAMPM"},
      {"separator is a format letter", Locale(false, false, false, L"am", L"pm", L"h"), L"h:mm:ss", 9, 5, 7,
       L"9h05h07"},
      {"one-character separator", Locale(true, false, false, L"am", L"pm", L"."), L"hh:mm:ss", 9, 5, 7,
       L"09.05.07"},
      {"empty separator", Locale(true, false, false, L"am", L"pm", L""), L"hh:mm:ss", 9, 5, 7, L"090507"},
      {"longer separator ignored", Locale(true, false, false, L"am", L"pm", L" h "), L"hh:mm:ss", 9, 5, 7,
       L"09:05:07"},
      {"surrogate pair is one character", Locale(false, false, false, L"am", L"pm", L"\U0001D11E"),
       L"h:mm:ss", 9, 5, 7, L"9\U0001D11E05\U0001D11E07"},
      {"defaults when not queried", LocaleTime{true, true, false}, L"hh:mm:ss AMPM", 21, 5, 7,
       L"09:05:07 pm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring format = BuildLongTimeFormat(c.locale);
    EXPECT_EQ(format, c.format);
    EXPECT_EQ(FormatLongTime(format, c.locale, c.h, c.m, c.s), c.shown);
  }
}

TEST(SchemeColors, DarkOrInvertedSchemesAreFollowedAndDisabledTextStaysVisible) {
  const Rgb white = MakeRgb(255, 255, 255), black = 0, dark = MakeRgb(32, 32, 32),
            light = MakeRgb(230, 230, 230);
  const std::pair<SchemeColors, bool> cases[] = {
      {{white, black, MakeRgb(240, 240, 240), black}, false},  // Wine's default
      {{black, MakeRgb(255, 255, 0), black, white}, true},     // yellow and white on black
      {{white, black, dark, light}, true}};                    // only the buttons dark
  for (const auto& [scheme, follows] : cases)
    EXPECT_EQ(FollowsScheme(scheme, false), follows) << scheme.window;
  EXPECT_TRUE(FollowsScheme(cases[0].first, true)) << "the high-contrast flag";
  const Rgb grey = MakeRgb(109, 109, 109),
            shown = DisabledTextColor(dark, white, dark);  // grey that vanishes
  EXPECT_GE(ContrastRatio(shown, dark), 3.0);
  EXPECT_LT(ContrastRatio(shown, dark), 4.0) << "no brighter than it takes: still dimmer than the text";
  EXPECT_EQ(DisabledTextColor(grey, black, white), grey) << "the scheme's grey where it reads";
  // Ratios worked out by hand from the sRGB luminance formula, each way round.
  const std::tuple<Rgb, Rgb, double> kKnown[] = {{black, white, 21.0},
                                                 {white, white, 1.0},
                                                 {MakeRgb(255, 0, 0), black, 5.252},
                                                 {MakeRgb(0, 0, 255), black, 2.444},
                                                 {MakeRgb(0x77, 0x77, 0x77), white, 4.478}};
  for (const auto& [a, b, ratio] : kKnown) {
    EXPECT_NEAR(ContrastRatio(a, b), ratio, 0.001) << a << " on " << b;
    EXPECT_NEAR(ContrastRatio(b, a), ratio, 0.001) << b << " on " << a;
  }
}

}  // namespace
