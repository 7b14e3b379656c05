// The layout table: the facts the window builder relies on without checking them itself.
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "ui/layout.h"

namespace {

struct Box {
  int left, top, right, bottom;
};

// The test's own scaling: MulDiv's rounding, halves away from zero.
int Scaled(int pixels, int dpi) { return (pixels * dpi + (pixels < 0 ? -48 : 48)) / 96; }

Box BoxAt(const LayoutRect& r, int dpi) {
  return {Scaled(r.left, dpi), Scaled(r.top, dpi), Scaled(r.left + r.width, dpi),
          Scaled(r.top + r.height, dpi)};
}

bool Overlap(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

// Checked at 96 DPI and at 144, as the window scales it.
TEST(LayoutTable, ControlsFitTheClientAreaApartInRowsAndScaleWithTheDpi) {
  for (int dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    std::vector<Box> boxes;
    for (const auto& c : kForm1Layout) {
      const LayoutRect scaled = ScaleForDpi(c.rect, dpi);
      const Box box = BoxAt(c.rect, dpi);
      EXPECT_EQ((std::array{scaled.left, scaled.top, scaled.left + scaled.width, scaled.top + scaled.height}),
                (std::array{box.left, box.top, box.right, box.bottom}))
          << c.name << " scales its edges as MulDiv does";
      EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= Scaled(266, dpi) &&
                  box.bottom <= Scaled(200, dpi))
          << c.name << " inside the client area";
      EXPECT_TRUE(box.left < box.right && box.top < box.bottom) << c.name;
      for (std::size_t i = 0; i < boxes.size(); ++i)
        EXPECT_FALSE(Overlap(box, boxes[i])) << c.name << " overlaps " << kForm1Layout[i].name;
      boxes.push_back(box);
    }
    for (int height : {-11, -16})
      EXPECT_EQ(ScaleForDpi(height, dpi), Scaled(height, dpi)) << "font " << height;
    // The status bar runs along the whole bottom edge.
    const Box bar = BoxAt(LayoutOf(StatusBar1).rect, dpi);
    EXPECT_TRUE(bar.left == 0 && bar.right == Scaled(266, dpi) && bar.bottom == Scaled(200, dpi));
    // Label, box and spin control of a slot share a top, left to right, the spin control flush
    // against its box with its height; the slots run down in order, above the buttons.
    int above = 0;
    for (int slot = 0; slot < 4; ++slot) {
      SCOPED_TRACE(slot);
      const ControlLayout& upDown = LayoutOf(kLevelUpDowns[slot]);
      EXPECT_EQ(upDown.buddy, kLevelEdits[slot]);
      const Box label = BoxAt(LayoutOf(static_cast<ControlId>(Label1 + slot)).rect, dpi);
      const Box edit = BoxAt(LayoutOf(kLevelEdits[slot]).rect, dpi);
      const Box spin = BoxAt(upDown.rect, dpi);
      EXPECT_TRUE(label.top == edit.top && edit.top == spin.top);
      EXPECT_TRUE(label.right <= edit.left && edit.right == spin.left);
      EXPECT_EQ(spin.bottom, edit.bottom);
      EXPECT_GT(label.top, above);
      above = edit.bottom;
    }
    for (ControlId button : {BitBtn1, BitBtn2, BitBtn3}) {
      EXPECT_GE(BoxAt(LayoutOf(button).rect, dpi).top, above);
      for (ControlId below : {CheckBox1, SpeedButton1})
        EXPECT_GE(BoxAt(LayoutOf(below).rect, dpi).top, BoxAt(LayoutOf(button).rect, dpi).bottom);
    }
  }
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
