#include "ui/form1_controls.h"

#include "ui/control_class.h"

namespace {

HWND CreateControl(const ControlLayout& c, HWND form, HINSTANCE instance, int dpi) {
  ControlClass cls = ControlClassOf(c);
  LayoutRect r = ScaleForDpi(c.rect, dpi);
  HWND control =
      CreateWindowExW(cls.exStyle, cls.name, c.text, cls.style, r.left, r.top, r.width, r.height, form,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
  if (control && (c.flags & kChecked)) Button(control).SetCheck(true);
  return control;
}

void PlaceControl(HWND control, const LayoutRect& r) {
  SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool Form1Controls::Create(HWND form, HINSTANCE instance, int dpi) {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    controls_[i] = CreateControl(kForm1Layout[i], form, instance, dpi);
    if (!controls_[i]) return false;
    if (kForm1Layout[i].kind == ControlKind::GlyphButton) PressOncePerKey(controls_[i]);
  }
  return true;
}

void Form1Controls::Place(int dpi) const {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i)
    PlaceControl(controls_[i], ScaleForDpi(kForm1Layout[i].rect, dpi));
}

// A move costs a round of messages, so only a control that needs one gets it.
void Form1Controls::KeepTableSize(ControlId id, int dpi) const {
  const LayoutRect r = ScaleForDpi(LayoutOf(id).rect, dpi);
  RECT now{};
  GetWindowRect(Get(id), &now);
  if (now.right - now.left != r.width || now.bottom - now.top != r.height) PlaceControl(Get(id), r);
}

HWND Form1Controls::Get(ControlId id) const {
  std::size_t i = LayoutIndexOf(id);
  return i < controls_.size() ? controls_[i] : nullptr;
}
