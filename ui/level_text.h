// Level values as the spin boxes show and save them; no <windows.h>, so the host build tests it.
#pragma once

#include <optional>
#include <string_view>

constexpr int kLevelMin = 1, kLevelMax = 6;

// A loaded byte shown in a spin box: out-of-range values show as the nearest bound.
int ClampLevel(int value);

// The text of a level box when it is a whole decimal number from 1 to 6 (ASCII digits only,
// leading zeros allowed); nullopt for anything else, including signs and spaces.
std::optional<int> ParseLevelText(std::wstring_view text);

// The level saved for a box: its text if that parses, else the spin box's previous value.
int LevelForSave(std::wstring_view text, int previous);
