// The Win32 tests' entry point: common controls as the program sets them up.
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <gtest/gtest.h>

#include "system/system_functions.h"

int main(int argc, char** argv) {
  // Set by scripts/xp-tests.sh: the whole suite then runs as on Windows XP, through the fallbacks.
  if (std::getenv("VELMORA_HIDE_NEWER_FUNCTIONS")) HideNewerFunctions(true);
  RestrictDllSearch();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  if (auto initCommonControls = kInitCommonControlsEx.Find()) initCommonControls(&icc);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
