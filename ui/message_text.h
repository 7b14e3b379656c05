// Text of the error box; no <windows.h>, so the host build tests it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// The UTF-8 message widened (invalid bytes become U+FFFD), with "." appended when the message is
// not empty and its last byte sorts after '.': "File not found" gains one, "Done!" does not.
std::wstring ErrorBoxText(std::string_view message);

// The status message's tooltip: the file whose levels show, which Save writes. After an Open
// that failed, it says so, and which file (if any) the levels still shown came from.
std::wstring PathTipText(const std::wstring& opened, const std::wstring& failed);

// A path with its lines broken so that each fits: a tooltip breaks lines only at spaces, and a
// path has none. A line breaks after a folder's backslash (or a slash or space), and a name wider
// than a whole line where it reaches the edge; "\r\n" in text is kept as a break.
std::wstring WrapPath(const std::wstring& text, const std::function<bool(const std::wstring& line)>& fits);

// UTF-8 to wide text: UTF-16 where wchar_t has 16 bits (Windows), UTF-32 elsewhere.
std::wstring WidenUtf8(std::string_view text);
