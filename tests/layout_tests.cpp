// The layout table: the facts the window builder relies on without checking them itself.
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "ui/layout.h"

TEST(LayoutTable, CreationOrderIsTheTabOrderAndEachLabelPrecedesItsBox) {
  int lastTab = -1;
  std::set<int> ids;
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    const ControlLayout& c = kForm1Layout[i];
    EXPECT_TRUE(ids.insert(c.id).second) << c.name << " twice";
    if (c.tabPosition >= 0) {
      EXPECT_EQ(c.tabPosition, lastTab + 1) << c.name;
      lastTab = c.tabPosition;
    } else {
      EXPECT_FALSE(c.flags & kTabStop) << c.name << " is a Tab stop outside the Tab order";
    }
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
  EXPECT_EQ(lastTab, 12);
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
