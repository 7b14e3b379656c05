// Velmora: sets the four loudness levels of a handset's audio_cfg.db.
#include <windows.h>

#include <commctrl.h>

#include "app/message_loop.h"
#include "system/system_functions.h"
#include "ui/form1.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // First, before any DLL but kernel32 and msvcrt is loaded (user32 and gdi32 are delay-imported):
  // a DLL left beside the program, as in a Downloads folder, must never load in place of a system one.
  RestrictDllSearch();
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS};
  if (auto initCommonControls = kInitCommonControlsEx.Find()) initCommonControls(&icc);

  TForm1 Form1;
  if (!Form1.Create(instance, showCommand)) return 1;

  return RunMessageLoop(Form1);
}
