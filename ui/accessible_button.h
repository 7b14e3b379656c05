#pragma once
// What screen readers see of a window that is drawn as a push button but is not of the system's
// button class.
#include <windows.h>

// The answer to WM_GETOBJECT for the button's client area: the system's standard object for it,
// named by the window text, with a push button's role and a default action that clicks it
// (posts BM_CLICK). 0 for any other object, or when the accessibility library cannot be had:
// then pass the message on.
LRESULT PushButtonAccessibleObject(HWND button, WPARAM flags, LPARAM objectId);
