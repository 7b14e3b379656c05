// Text of the error box; no <windows.h>, so the host build tests it.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 message widened (invalid bytes become U+FFFD), with "." appended when the message is
// not empty and its last byte sorts after '.': "File not found" gains one, "Done!" does not.
std::wstring ErrorBoxText(std::string_view message);

// The status message's tooltip: the file whose levels show, which Save writes. After an Open
// that failed, it says so, and which file (if any) the levels still shown came from.
std::wstring PathTipText(const std::wstring& opened, const std::wstring& failed);

// UTF-8 to wide text: UTF-16 where wchar_t has 16 bits (Windows), UTF-32 elsewhere.
std::wstring WidenUtf8(std::string_view text);
