// The Win32 tests' entry point: common controls as the program sets them up.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  InitCommonControlsEx(&icc);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
