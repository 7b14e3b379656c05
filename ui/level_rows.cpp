#include "ui/level_rows.h"

#include <string>

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
  // A box holds one digit: whenever it gets the focus its text is selected, so a typed digit
  // replaces the level instead of joining it. The click that brings the focus only gives it: the
  // edit's own handling would put the caret where the click fell and undo the selection.
  if (message == WM_LBUTTONDOWN && GetFocus() != edit) {
    SetFocus(edit);
    return 0;
  }
  LRESULT result = HwndCallPrevious(edit, message, wParam, lParam);
  if (message == WM_SETFOCUS) SendMessageW(edit, EM_SETSEL, 0, -1);
  return result;
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
  edits_[r].SetSelection(0, -1);  // as when the box gets the focus: a typed digit replaces it
}

void LevelRows::TextChanged(int row) {
  if (row < 0) return;
  const auto r = static_cast<std::size_t>(row);
  if (auto level = ParseLevelText(edits_[r].Text())) {
    levels_[r] = static_cast<std::uint8_t>(*level);
    upDowns_[r].SetPos(*level);
    HideNotALevel();
  } else if (edits_[r].HasFocus()) {  // typed, not set by the program
    ShowNotALevel(r);
  }
}

void LevelRows::ShowNotALevel(std::size_t row) {
  // A balloon on the box, as Windows shows for a number box. Made here rather than by the edit's
  // EM_SHOWBALLOONTIP, which Wine does not show.
  HWND edit = edits_[row].Handle();
  if (!balloon_) {
    balloon_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetParent(edit), nullptr,
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(edit, GWLP_HINSTANCE)), nullptr);
    if (!balloon_) return;
    TTTOOLINFOW tool = BalloonTool();
    SendMessageW(balloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(balloon_, TTM_SETMAXTIPWIDTH, 0, 300);
    SendMessageW(balloon_, TTM_SETTITLEW, TTI_WARNING, reinterpret_cast<LPARAM>(L"Not a level"));
  }
  // A level is one digit (and to_wstring would pull in wide printf).
  balloonText_ = L"Type one digit from 1 to 6. Until then the level stays 0.";
  balloonText_[balloonText_.size() - 2] = static_cast<wchar_t>(L'0' + levels_[row]);
  TTTOOLINFOW tool = BalloonTool();
  SendMessageW(balloon_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  RECT box{};
  GetWindowRect(edit, &box);  // the balloon's point at the middle of the box's lower edge
  SendMessageW(balloon_, TTM_TRACKPOSITION, 0, MAKELPARAM((box.left + box.right) / 2, box.bottom));
  SendMessageW(balloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void LevelRows::HideNotALevel() {
  TTTOOLINFOW tool = BalloonTool();
  if (balloon_) SendMessageW(balloon_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

TTTOOLINFOW LevelRows::BalloonTool() {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = GetParent(edits_[0].Handle());
  tool.lpszText = balloonText_.data();
  return tool;
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
