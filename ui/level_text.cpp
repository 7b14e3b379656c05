#include "ui/level_text.h"

int ClampLevel(int value) {
  if (value < kLevelMin) return kLevelMin;
  if (value > kLevelMax) return kLevelMax;
  return value;
}

std::optional<int> ParseLevelText(std::wstring_view text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
    // Stop early so a long run of digits cannot overflow.
    if (value > kLevelMax) return std::nullopt;
  }
  if (value < kLevelMin) return std::nullopt;
  return value;
}

int LevelForSave(std::wstring_view text, int previous) { return ParseLevelText(text).value_or(previous); }

int StepLevel(std::wstring_view text, int previous, int delta) {
  // Clamp the step first, so no delta can overflow the sum.
  if (delta > kLevelMax) delta = kLevelMax;
  if (delta < -kLevelMax) delta = -kLevelMax;
  return ClampLevel(LevelForSave(text, ClampLevel(previous)) + delta);
}
