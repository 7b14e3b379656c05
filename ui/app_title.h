#pragma once
// The application title: the window's caption, the taskbar button's text and the caption of
// every box and dialog the program shows.
inline constexpr wchar_t kAppTitle[] = L"Velmora";
