// Level values as the spin boxes show and save them; no <windows.h>, so the host build tests it.
#pragma once

#include <optional>
#include <string_view>

constexpr int kLevelMin = 1, kLevelMax = 6;

// A loaded byte shown in a spin box: out-of-range values show as the nearest bound.
int ClampLevel(int value);

// The text of a level box when it is a whole decimal number from 1 to 6 in ASCII digits;
// nullopt for anything else: signs, spaces, separators, other scripts' digits. Leading zeros
// count ("05" is 5): the digits still name one value, and "05" saved as 5 is what the user
// sees, while refusing it would save an older value they no longer see.
std::optional<int> ParseLevelText(std::wstring_view text);

// The level saved for a box: its text if that parses, else the spin box's previous value.
int LevelForSave(std::wstring_view text, int previous);

// One spin step (delta is +1 or -1, or more when the arrow is held) from what the box counts
// as its value; it stops at 1 and 6 and never wraps.
int StepLevel(std::wstring_view text, int previous, int delta);
