// Velmora: sets the four loudness levels of a handset's audio_cfg.db.
#include <windows.h>

#include <commctrl.h>

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

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // The dialog manager gives the window Tab, Enter and Esc like a dialog box.
    if (Form1.Handle() && IsDialogMessageW(Form1.Handle(), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
