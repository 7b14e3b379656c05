#pragma once
// The four level rows, each a text box with its up-down beside it. The rows keep the last value
// each box held that counts, whatever its text says now; the up-downs only show the arrows.
#include <windows.h>

#include <array>
#include <string>

#include "record/audio_config_record.h"
#include "ui/controls.h"

class LevelRows {
 public:
  static constexpr std::size_t kRows = 4;
  // Sent by a level box to its parent for Up and Down: wParam is the box's id, lParam the step.
  static constexpr UINT kStepMessage = WM_APP + 1;

  // Pairs each box with its up-down, names the up-downs for screen readers, and lets the boxes
  // take Up and Down before the up-downs do.
  void Attach(const std::array<EditBox, kRows>& edits, const std::array<UpDown, kRows>& upDowns);
  // The row of a box or an up-down by its control id; -1 for any other control.
  static int RowOf(int controlId);

  // Each row shows its level, clamped to the spin range: loaded bytes may be anything.
  void Show(const VolumeLevels& levels);
  // Each box's text where it counts, else the row's last value.
  VolumeLevels ToSave() const;
  // One step from what the box counts as its value; never past 1 or 6.
  void StepRow(int row, int delta);
  // Typing that counts becomes the row's value; anything else leaves the last one standing.
  void TextChanged(int row);
  // An arrow click puts the focus in its row's box, so the keys then act where the user looks.
  void FocusRow(int row) const;
  // Takes down the word that a box's text is not a level, once the user has left the box.
  void HideNotALevel();

 private:
  void ShowLevel(std::size_t row, int level);
  void ShowNotALevel(std::size_t row);
  TTTOOLINFOW BalloonTool();

  std::array<EditBox, kRows> edits_;
  std::array<UpDown, kRows> upDowns_;
  VolumeLevels levels_{1, 1, 1, 1};
  HWND balloon_ = nullptr;  // a tooltip, made when first needed; the form's window destroys it
  std::wstring balloonText_;
};
