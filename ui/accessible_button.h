#pragma once
// What screen readers see of a window that is drawn as a push button but is not of the system's
// button class, and of controls that show no text to be named by.
#include <windows.h>

#include <string>

// The answer to WM_GETOBJECT for the button's client area: the system's standard object for it,
// named by the window text, with a push button's role and a default action that clicks it
// (posts BM_CLICK). 0 for any other object, or when the accessibility library cannot be had:
// then pass the message on.
LRESULT PushButtonAccessibleObject(HWND button, WPARAM flags, LPARAM objectId);

// Names a control that draws no text of its own, such as an up-down control, for screen readers:
// the name becomes its window text, and its object answers with it. The control keeps its role.
void NameForScreenReaders(HWND control, const std::wstring& name);

// The same for a picture, whose object answers with a graphic's role.
void NamePictureForScreenReaders(HWND picture, const std::wstring& name);
