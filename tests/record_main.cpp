// The Win32 record tests' entry point. scripts/xp-tests.sh runs them again with every function
// newer than XP hidden, so the save's XP branch (no GetFinalPathNameByHandleW) runs too.
#include <cstdlib>
#include <gtest/gtest.h>

#include "system/system_functions.h"

int main(int argc, char** argv) {
  if (std::getenv("VELMORA_HIDE_NEWER_FUNCTIONS")) HideNewerFunctions(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
