#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "system/unique_any.h"

namespace {

std::vector<int> closed;
void CloseFake(int handle) { closed.push_back(handle); }
using UniqueFake = UniqueAny<HandlePolicy<int, CloseFake, -1>>;

}  // namespace

TEST(UniqueAnyTest, ClosesEachHandleOnceAndNeverTheInvalidValue) {
  closed.clear();
  {
    UniqueFake empty;
    EXPECT_FALSE(empty);
    UniqueFake zero(0);  // 0 is a real handle when -1 means none
    EXPECT_TRUE(zero);
    UniqueFake moved(std::move(zero));
    EXPECT_FALSE(zero);
    EXPECT_EQ(moved.get(), 0);
    UniqueFake target(7);
    target = std::move(moved);  // 7 is closed, 0 now belongs to target
    EXPECT_EQ(closed, std::vector<int>{7});
    target.reset(8);
    UniqueFake released(9);
    EXPECT_EQ(released.release(), 9);  // given up, never closed
    EXPECT_FALSE(released);
  }
  EXPECT_EQ(closed, (std::vector<int>{7, 0, 8}));
}
