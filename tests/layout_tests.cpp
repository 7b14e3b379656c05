// The layout table: the facts the window builder relies on without checking them itself.
#include <gtest/gtest.h>
#include <set>

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
    }
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
