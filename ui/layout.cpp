#include "ui/layout.h"

#include <iterator>
#include <stdexcept>

#include "resources/resource_ids.h"

namespace {
constexpr ControlId kNoBuddy = static_cast<ControlId>(0);
// Windows scales from 100% to 500%; anything outside that is a broken message, not a monitor.
constexpr int kMinDpi = 96, kMaxDpi = 480;
}  // namespace

static_assert(IDB_OPEN_20 == IDB_OPEN + kGlyphIdStep && IDB_SAVE_24 == IDB_SAVE + 2 * kGlyphIdStep &&
                  IDB_EXIT_32 == IDB_EXIT + 3 * kGlyphIdStep && IDB_ABOUT_32 == IDB_ABOUT + 3 * kGlyphIdStep,
              "the glyph resource ids follow kGlyphSizes");

// clang-format off
const std::array<ControlLayout, 19> kForm1Layout{{
  {BitBtn1,      "BitBtn1",      ControlKind::GlyphButton, {8, 120, 83, 25},   L"Открыть",   FontKind::Window, kTabStop, IDB_OPEN,  kNoBuddy},
  {BitBtn2,      "BitBtn2",      ControlKind::GlyphButton, {96, 120, 81, 25},  L"Сохранить", FontKind::Window, kTabStop, IDB_SAVE,  kNoBuddy},
  {StatusBar1,   "StatusBar1",   ControlKind::StatusBar,   {0, 181, 266, 19},  nullptr,      FontKind::Status, kNoFlags, 0,         kNoBuddy},
  {UpDown1,      "UpDown1",      ControlKind::UpDown,      {241, 16, 17, 21},  nullptr,      FontKind::Window, kNoFlags, 0,         Edit1},
  {Label1,       "Label1",       ControlKind::Label,       {120, 16, 70, 18},  L"Звонки:",   FontKind::Label,  kNoFlags, 0,         kNoBuddy},
  {Edit1,        "Edit1",        ControlKind::Edit,        {224, 16, 17, 21},  L"1",         FontKind::Window, kTabStop, 0,         kNoBuddy},
  {Label2,       "Label2",       ControlKind::Label,       {120, 40, 70, 18},  L"Кнопки:",   FontKind::Label,  kNoFlags, 0,         kNoBuddy},
  {Edit2,        "Edit2",        ControlKind::Edit,        {224, 40, 17, 21},  L"1",         FontKind::Window, kTabStop, 0,         kNoBuddy},
  {Label3,       "Label3",       ControlKind::Label,       {120, 64, 80, 18},  L"Динамик:",  FontKind::Label,  kNoFlags, 0,         kNoBuddy},
  {Edit3,        "Edit3",        ControlKind::Edit,        {224, 64, 17, 21},  L"1",         FontKind::Window, kTabStop, 0,         kNoBuddy},
  {Label4,       "Label4",       ControlKind::Label,       {120, 88, 100, 18}, L"Mp3\\Видео:", FontKind::Label, kNoFlags, 0,        kNoBuddy},
  {Edit4,        "Edit4",        ControlKind::Edit,        {224, 88, 17, 21},  L"1",         FontKind::Window, kTabStop, 0,         kNoBuddy},
  {UpDown2,      "UpDown2",      ControlKind::UpDown,      {241, 40, 16, 21},  nullptr,      FontKind::Window, kNoFlags, 0,         Edit2},
  {UpDown3,      "UpDown3",      ControlKind::UpDown,      {241, 64, 16, 21},  nullptr,      FontKind::Window, kNoFlags, 0,         Edit3},
  {UpDown4,      "UpDown4",      ControlKind::UpDown,      {241, 88, 16, 21},  nullptr,      FontKind::Window, kNoFlags, 0,         Edit4},
  {BitBtn3,      "BitBtn3",      ControlKind::GlyphButton, {184, 120, 75, 25}, L"Выход",     FontKind::Window, kTabStop, IDB_EXIT,  kNoBuddy},
  {CheckBox1,    "CheckBox1",    ControlKind::CheckBox,    {8, 152, 217, 17},  L"Делать backup файла", FontKind::Label, kDisabled | kChecked, 0, kNoBuddy},
  {Image1,       "Image1",       ControlKind::Picture,     {8, 8, 105, 105},   nullptr,      FontKind::Window, kNoFlags, 0,         kNoBuddy},
  {SpeedButton1, "SpeedButton1", ControlKind::SpeedButton, {232, 152, 23, 22}, L"О программе", FontKind::None, kNoFlags, IDB_ABOUT, kNoBuddy},
}};
// clang-format on

std::size_t LayoutIndexOf(ControlId id) {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    if (kForm1Layout[i].id == id) return i;
  }
  return kForm1Layout.size();
}

const ControlLayout& LayoutOf(ControlId id) {
  std::size_t i = LayoutIndexOf(id);
  if (i == kForm1Layout.size()) throw std::logic_error("control missing from the layout table");
  return kForm1Layout[i];
}

int MulDivRounded(long long value, long long numerator, long long denominator) {
  long long scaled = value * numerator, half = denominator / 2;
  return static_cast<int>((scaled >= 0 ? scaled + half : scaled - half) / denominator);
}

int ScaleForDpi(int pixels, int dpi) { return MulDivRounded(pixels, dpi, kBaseDpi); }

LayoutRect ScaleForDpi(const LayoutRect& r, int dpi) {
  // Scale the edges, not the sizes, so neighbouring controls stay flush at any DPI.
  int left = ScaleForDpi(r.left, dpi);
  int top = ScaleForDpi(r.top, dpi);
  return {left, top, ScaleForDpi(r.left + r.width, dpi) - left, ScaleForDpi(r.top + r.height, dpi) - top};
}

bool IsSaneDpi(int dpi) { return dpi >= kMinDpi && dpi <= kMaxDpi; }

int GlyphSizeForDpi(int dpi) {
  // Distances in 96ths of a pixel, so no rounding decides between two sizes.
  const long long wanted = static_cast<long long>(kGlyphSizes[0]) * dpi;
  int best = kGlyphSizes[0];
  for (int size : kGlyphSizes) {
    long long distance = wanted - static_cast<long long>(size) * kBaseDpi;
    long long bestDistance = wanted - static_cast<long long>(best) * kBaseDpi;
    if ((distance < 0 ? -distance : distance) < (bestDistance < 0 ? -bestDistance : bestDistance))
      best = size;
  }
  return best;
}

int GlyphResourceId(int glyph, int size) {
  for (std::size_t step = 0; step < std::size(kGlyphSizes); ++step) {
    if (kGlyphSizes[step] == size) return glyph + static_cast<int>(step) * kGlyphIdStep;
  }
  return glyph;  // a size not drawn: the 16-pixel glyph
}

bool ClockFits(int partWidth, int textWidth, int dpi) {
  int room = partWidth - kStatusTextInset - kStatusTextSlack -
             2 * (kStatusBorder + ScaleForDpi(kClockClearance, dpi));
  return textWidth <= room;
}

LayoutPoint OpenDialogPosition(const LayoutRect& monitor, int dialogWidth, int dialogHeight) {
  auto floorDiv = [](long long value, long long by) {
    return static_cast<int>(value >= 0 ? value / by : -((-value + by - 1) / by));
  };
  return {monitor.left + floorDiv(static_cast<long long>(monitor.width) - dialogWidth, 2),
          monitor.top + floorDiv(static_cast<long long>(monitor.height) - dialogHeight, 3)};
}
