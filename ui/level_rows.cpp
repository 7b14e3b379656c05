#include "ui/level_rows.h"

#include "ui/accessible_button.h"
#include "ui/layout.h"
#include "ui/level_text.h"
#include "ui/window_helpers.h"

namespace {

// A level row's name for screen readers: its label's text without the colon.
std::wstring RowName(std::size_t row) {
  std::wstring name = LayoutOf(static_cast<ControlId>(Label1 + static_cast<int>(row))).text;
  if (!name.empty() && name.back() == L':') name.pop_back();
  return name;
}

// The level boxes step on Up and Down themselves, before the up-down control's own handling of
// its buddy sees the keys: that handling re-reads the text by its own rules and, after a click
// on an arrow, was seen to step twice for one key press.
LRESULT OnLevelKeyDown(HWND edit, WPARAM key, LPARAM lParam) {
  if (key != VK_UP && key != VK_DOWN) return HwndCallPrevious(edit, WM_KEYDOWN, key, lParam);
  SendMessageW(GetParent(edit), LevelRows::kStepMessage, static_cast<WPARAM>(GetDlgCtrlID(edit)),
               key == VK_UP ? 1 : -1);
  return 0;
}

LRESULT CALLBACK LevelEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) return OnLevelKeyDown(edit, wParam, lParam);
  return HwndCallPrevious(edit, message, wParam, lParam);
}

}  // namespace

void LevelRows::Attach(const std::array<EditBox, kRows>& edits, const std::array<UpDown, kRows>& upDowns) {
  edits_ = edits;
  upDowns_ = upDowns;
  for (std::size_t row = 0; row < kRows; ++row) {
    upDowns_[row].SetBuddy(edits_[row]);
    upDowns_[row].SetRange(kLevelMin, kLevelMax);
    upDowns_[row].SetPos(levels_[row]);
    // After the buddy, so the keys reach the form first.
    HwndSubclass(edits_[row].Handle(), LevelEditProc);
    NameForScreenReaders(upDowns_[row].Handle(), RowName(row));
  }
}

int LevelRows::RowOf(int controlId) {
  for (std::size_t row = 0; row < kRows; ++row) {
    if (kLevelEdits[row] == controlId || kLevelUpDowns[row] == controlId) return static_cast<int>(row);
  }
  return -1;
}

void LevelRows::Show(const VolumeLevels& levels) {
  for (std::size_t row = 0; row < kRows; ++row) ShowLevel(row, ClampLevel(levels[row]));
}

VolumeLevels LevelRows::ToSave() const {
  VolumeLevels levels{};
  for (std::size_t row = 0; row < kRows; ++row)
    levels[row] = static_cast<std::uint8_t>(LevelForSave(edits_[row].Text(), levels_[row]));
  return levels;
}

void LevelRows::StepRow(int row, int delta) {
  if (row < 0) return;
  const auto r = static_cast<std::size_t>(row);
  ShowLevel(r, StepLevel(edits_[r].Text(), levels_[r], delta));
  edits_[r].SetSelection(1, 1);  // the caret after the digit, not over it
}

void LevelRows::TextChanged(int row) {
  if (row < 0) return;
  const auto r = static_cast<std::size_t>(row);
  if (auto level = ParseLevelText(edits_[r].Text())) {
    levels_[r] = static_cast<std::uint8_t>(*level);
    upDowns_[r].SetPos(*level);
  }
}

void LevelRows::FocusRow(int row) const {
  if (row < 0) return;
  const EditBox& edit = edits_[static_cast<std::size_t>(row)];
  if (!edit.HasFocus()) edit.Focus();
}

void LevelRows::ShowLevel(std::size_t row, int level) {
  levels_[row] = static_cast<std::uint8_t>(level);
  upDowns_[row].SetPos(level);
  const wchar_t text[2] = {static_cast<wchar_t>(L'0' + level), L'\0'};  // a level is one digit
  edits_[row].SetText(text);
}
