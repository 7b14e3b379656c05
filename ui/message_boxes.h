#pragma once
#include <windows.h>

#include <string_view>

// The authorship notice: no icon, one OK that Enter and Esc both press.
void ShowAboutBox(HWND owner);

// A failed command's message in the stop-icon box, modal to every window of the program.
void ShowErrorBox(std::string_view message);

// Guidance, not a failure (what to do before a command can run): the same box with the
// information icon. The text is shown as it is.
void ShowGuidanceBox(std::string_view message);
