// The layout table: the facts the window builder relies on without checking them itself.
#include <array>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ui/layout.h"

TEST(LayoutTable, EveryControlHasItsPixelsAndEachLabelPrecedesItsBox) {
  // The window's required pixels at 96 DPI, written out rather than read from the table.
  const struct {
    ControlId id;
    LayoutRect rect;
  } kPixels[] = {
      {Image1, {8, 8, 105, 105}},      {Label1, {120, 16, 70, 18}},    {Label2, {120, 40, 70, 18}},
      {Label3, {120, 64, 80, 18}},     {Label4, {120, 88, 100, 18}},   {Edit1, {224, 16, 17, 21}},
      {Edit2, {224, 40, 17, 21}},      {Edit3, {224, 64, 17, 21}},     {Edit4, {224, 88, 17, 21}},
      {UpDown1, {241, 16, 17, 21}},    {UpDown2, {241, 40, 16, 21}},   {UpDown3, {241, 64, 16, 21}},
      {UpDown4, {241, 88, 16, 21}},    {BitBtn1, {8, 120, 83, 25}},    {BitBtn2, {96, 120, 81, 25}},
      {BitBtn3, {184, 120, 75, 25}},   {CheckBox1, {8, 152, 217, 17}}, {SpeedButton1, {232, 152, 23, 22}},
      {StatusBar1, {0, 181, 266, 19}},
  };
  ASSERT_EQ(std::size(kPixels), kForm1Layout.size());
  for (const auto& p : kPixels) {
    const LayoutRect& r = LayoutOf(p.id).rect;
    EXPECT_EQ((std::array{r.left, r.top, r.width, r.height}),
              (std::array{p.rect.left, p.rect.top, p.rect.width, p.rect.height}))
        << LayoutOf(p.id).name;
  }
  EXPECT_EQ(kForm1ClientWidth, 266);
  EXPECT_EQ(kForm1ClientHeight, 200);
  EXPECT_EQ(kStatusPanel0Width, 200);

  std::set<int> ids;
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    const ControlLayout& c = kForm1Layout[i];
    EXPECT_TRUE(ids.insert(c.id).second) << c.name << " twice";
    EXPECT_EQ((c.flags & kChecked) != 0, c.kind == ControlKind::CheckBox) << c.name;
    const bool hasGlyph = c.kind == ControlKind::GlyphButton || c.kind == ControlKind::SpeedButton;
    EXPECT_EQ(c.glyph != 0, hasGlyph) << c.name;
    if (c.kind == ControlKind::Edit) {
      ASSERT_GT(i, 0u);
      EXPECT_EQ(kForm1Layout[i - 1].kind, ControlKind::Label) << c.name;
      EXPECT_EQ(kForm1Layout[i - 1].rect.top, c.rect.top) << c.name << " shares its label's row";
    }
    if (c.kind == ControlKind::UpDown) {
      const LayoutRect& box = LayoutOf(c.buddy).rect;
      EXPECT_EQ(c.rect.left, box.left + box.width) << c.name << " sits right of its box";
      EXPECT_EQ(c.rect.height, box.height) << c.name;
    }
  }
}

TEST(LayoutTable, ScalingKeepsNeighboursFlushAndIsExactAt96) {
  struct Case {
    int dpi;
    LayoutRect in, out;
  };
  const Case cases[] = {
      {96, {224, 16, 17, 21}, {224, 16, 17, 21}},
      {144, {224, 16, 17, 21}, {336, 24, 26, 32}},  // right edge 241 * 1.5 = 361.5 rounds to 362
      {144, {241, 16, 17, 21}, {362, 24, 25, 32}},  // so the spin control starts where the box ends
      {120, {0, 181, 266, 19}, {0, 226, 333, 24}},
      {144, {-3, -3, 3, 3}, {-5, -5, 5, 5}},  // negative, as font heights are: halves away from zero
  };
  for (const auto& c : cases) {
    LayoutRect r = ScaleForDpi(c.in, c.dpi);
    EXPECT_EQ(r.left, c.out.left) << c.dpi;
    EXPECT_EQ(r.top, c.out.top) << c.dpi;
    EXPECT_EQ(r.width, c.out.width) << c.dpi;
    EXPECT_EQ(r.height, c.out.height) << c.dpi;
  }
}

TEST(LayoutTable, TabStopsAreTheButtonsAndBoxesOnly) {
  std::vector<std::string> stops;
  for (const auto& c : kForm1Layout) {
    if (c.flags & kTabStop) stops.push_back(c.name);
  }
  EXPECT_EQ(stops,
            (std::vector<std::string>{"BitBtn1", "BitBtn2", "Edit1", "Edit2", "Edit3", "Edit4", "BitBtn3"}));
  EXPECT_EQ(LayoutOf(CheckBox1).flags, kDisabled | kChecked);
  EXPECT_EQ(LayoutOf(SpeedButton1).flags, kNoFlags) << "About takes no focus";
}

TEST(LayoutTable, OnlyADpiWindowsCanReportIsSaneAndEachHasItsNearestGlyphSize) {
  const struct {
    int dpi;
    bool sane;
    int glyph;  // halfway between two sizes (108, 132, 168 DPI) takes the smaller
  } cases[] = {{0, false, 16},  {-96, false, 16}, {95, false, 16},  {96, true, 16},
               {108, true, 16}, {109, true, 20},  {120, true, 20},  {132, true, 20},
               {133, true, 24}, {144, true, 24},  {168, true, 24},  {169, true, 32},
               {192, true, 32}, {480, true, 32},  {481, false, 32}, {65535, false, 32}};
  for (const auto& c : cases) {
    EXPECT_EQ(IsSaneDpi(c.dpi), c.sane) << c.dpi;
    EXPECT_EQ(GlyphSizeForDpi(c.dpi), c.glyph) << c.dpi;
  }
  EXPECT_EQ(GlyphResourceId(LayoutOf(SpeedButton1).glyph, 24),
            LayoutOf(SpeedButton1).glyph + 2 * kGlyphIdStep);
  EXPECT_EQ(GlyphResourceId(LayoutOf(BitBtn1).glyph, 18), LayoutOf(BitBtn1).glyph) << "a size not drawn";
}

TEST(LayoutTable, OpenDialogIsCentredAcrossAndAThirdDownRoundingDown) {
  const struct {
    LayoutRect monitor;
    int width, height;
    LayoutPoint at;
  } cases[] = {
      {{0, 0, 1280, 1024}, 600, 400, {340, 208}},
      {{0, 0, 100, 100}, 111, 120, {-6, -7}},  // larger than the monitor: still rounded down
      {{1920, 0, 1920, 1080}, 601, 400, {1920 + 659, 226}},
      {{-1280, -200, 1280, 1024}, 601, 401, {-1280 + 339, -200 + 207}},
      {{0, 0, 100, 100}, 100, 100, {0, 0}},
  };
  for (const auto& c : cases) {
    LayoutPoint p = OpenDialogPosition(c.monitor, c.width, c.height);
    EXPECT_EQ(p.x, c.at.x) << c.monitor.left << " " << c.width;
    EXPECT_EQ(p.y, c.at.y) << c.monitor.top << " " << c.height;
  }
}

TEST(LayoutTable, ClockFontShrinksUntilItFitsButNeverBelowItsFloor) {
  const struct {
    int height, smallest, fitsFrom, fitted;  // fitsFrom 0: no height fits
  } cases[] = {{15, 12, 15, 15}, {15, 12, 13, 13}, {15, 12, 0, 12}, {10, 12, 0, 10}};
  for (const auto& c : cases) {
    int tries = 0;  // bounded, so a missing floor fails instead of hanging
    auto fits = [&](int height) { return ++tries > 100 || height <= c.fitsFrom; };
    EXPECT_EQ(FittedFontHeight(c.height, c.smallest, fits), c.fitted) << c.height << " from " << c.fitsFrom;
  }
  EXPECT_TRUE(ClockFits(100, 88, 96) && !ClockFits(100, 89, 96))
      << "100 less 3, 3 and twice 1 + 2 fits exactly";
}
