#pragma once
// The program's message loop, which the window tests run too: keys that work there work for users.
#include <windows.h>

class TForm1;

// Hands one message on: the dialog manager sees it first, so the window takes Tab, Enter and
// Esc as a dialog box does. window is null once the window is gone.
void DeliverMessage(HWND window, MSG& msg);

// Runs until WM_QUIT; returns the quit message's code.
int RunMessageLoop(const TForm1& form);
