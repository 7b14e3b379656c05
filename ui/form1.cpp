#include "ui/form1.h"

#include <oleacc.h>

#include <exception>

#include "resources/resource_ids.h"
#include "ui/accessible_button.h"
#include "ui/app_title.h"
#include "ui/control_class.h"
#include "ui/glyph_button.h"
#include "ui/icons.h"
#include "ui/system_api.h"

TForm1::~TForm1() {
  if (hwnd_) DestroyWindow(hwnd_);
}

HWND TForm1::Control(ControlId id) const {
  std::size_t i = LayoutIndexOf(id);
  return i < controls_.size() ? controls_[i] : nullptr;
}

bool TForm1::Create(HINSTANCE instance, int showCommand) {
  instance_ = instance;
  RegisterSpeedButtonClass(instance);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  // The title bar's icon at the system's DPI, which is the window's almost always: there before
  // the window is, so no second trip to the display sets it. A window at another DPI sets its
  // own. The class, and so its icon, lasts as long as the process.
  static const UniqueIcon classIcon(
      LoadIconForSize(instance, IDI_VELMORA, ScaleForDpi(kSmallIconSize, SystemDpi())));
  wc.hIconSm = classIcon.get();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);  // already registered when a second form is made in one process

  // The frame round the client area at a DPI, centred on the primary screen.
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  auto placement = [](int dpi) {
    RECT frame{0, 0, ScaleForDpi(kForm1ClientWidth, dpi), ScaleForDpi(kForm1ClientHeight, dpi)};
    AdjustWindowRectForDpi(frame, kStyle, WS_EX_CONTROLPARENT, dpi);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    return LayoutRect{(GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height};
  };
  // Created in place at the system's DPI, which is the window's own almost always: moving and
  // sizing a window after creation costs a round of messages and a trip to the display.
  int createdDpi = SystemDpi();
  LayoutRect at = placement(createdDpi);
  CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kAppTitle, kStyle, at.left, at.top, at.width, at.height,
                  nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  if (dpi_ != createdDpi) {
    at = placement(dpi_);
    SetWindowPos(hwnd_, nullptr, at.left, at.top, at.width, at.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK TForm1::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Failures are exceptions; this is the one place they are caught, so none crosses into Windows.
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& e) {
    self->ShowFailure(e.what());
  } catch (...) {
    self->ShowFailure("Unexpected error");
  }
  return 0;
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // clang-format off
  switch (message) {
    case WM_CREATE:                return OnCreate() ? 0 : -1;
    case WM_COMMAND:               return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:                return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case LevelRows::kStepMessage:  return OnStepLevel(static_cast<int>(wParam), static_cast<int>(lParam));
    case WM_DRAWITEM:              return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_ERASEBKGND:            return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:          return OnControlColor(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:                 return OnTimer(wParam);
    case WM_GETICON:               return OnGetIcon(wParam, lParam);
    case WM_HELP:                  return OnHelp();
    case WM_SYSCOLORCHANGE:        return OnSysColorChange(wParam, lParam);
    case WM_THEMECHANGED:          return OnThemeChanged();
    case WM_SETTINGCHANGE:         return OnSettingChange(wParam, lParam);
    case WM_ENABLE:                return OnEnable(wParam != FALSE);
    case WM_ACTIVATE:              return OnActivate(LOWORD(wParam) != WA_INACTIVE);
    case WM_SETFOCUS:              return OnActivate(true);
    case WM_SYSCOMMAND:            return OnSysCommand(wParam, lParam);
    case WM_DPICHANGED:            return OnDpiChanged(wParam, reinterpret_cast<LPCRECT>(lParam));
    case WM_DESTROY:               return OnDestroy();
    case WM_NCDESTROY:             return OnNcDestroy();
  }
  // clang-format on
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool TForm1::OnCreate() {
  dpi_ = WindowDpi(hwnd_);
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    controls_[i] = CreateControl(kForm1Layout[i]);
    if (!controls_[i]) return false;
    if (kForm1Layout[i].kind == ControlKind::GlyphButton) PressOncePerKey(controls_[i]);
  }
  SetUpControls(false);  // nothing shows yet, so nothing to redraw
  statusTip_.Attach(Bar());
  std::array<EditBox, LevelRows::kRows> edits;
  std::array<UpDown, LevelRows::kRows> upDowns;
  for (std::size_t row = 0; row < LevelRows::kRows; ++row) {
    edits[row] = EditBox(Control(kLevelEdits[row]));
    upDowns[row] = UpDown(Control(kLevelUpDowns[row]));
  }
  levelRows_.Attach(edits, upDowns);
  // Created at its size, an up-down may take its own default width (17 pixels became 16): moved
  // after creation, once it has its buddy, it keeps the table's. Only then, as a move costs a
  // round of messages.
  for (ControlId id : kLevelUpDowns) {
    LayoutRect r = ScaleForDpi(LayoutOf(id).rect, dpi_);
    RECT created{};
    GetWindowRect(Control(id), &created);
    if (created.right - created.left != r.width || created.bottom - created.top != r.height)
      SetWindowPos(Control(id), nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  NamePictureForScreenReaders(Control(Image1), kAppTitle);
  if (dpi_ != SystemDpi()) ApplyIcons();
  ReadContrast();  // and the logo, on the window's colour

  // Timer1 runs from the moment the window exists; its first tick fills the clock panel.
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
  FormCreate();
  return true;
}

HWND TForm1::CreateControl(const ControlLayout& c) {
  ControlClass cls = ControlClassOf(c);
  LayoutRect r = ScaleForDpi(c.rect, dpi_);
  HWND control =
      CreateWindowExW(cls.exStyle, cls.name, c.text, cls.style, r.left, r.top, r.width, r.height, hwnd_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
  if (control && (c.flags & kChecked)) Button(control).SetCheck(true);
  return control;
}

LRESULT TForm1::OnCommand(int id, int code) {
  if (id == IDOK) {
    // Enter: press the focused button; in a text box it does nothing.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == hwnd_ &&
        LayoutOf(static_cast<ControlId>(GetDlgCtrlID(focus))).kind == ControlKind::GlyphButton)
      Button(focus).Click();
    return 0;
  }
  if (code == EN_CHANGE) levelRows_.TextChanged(LevelRows::RowOf(id));
  if (code == EN_KILLFOCUS) levelRows_.HideNotALevel();
  if (code == BN_CLICKED) RunClickHandler(static_cast<ControlId>(id));
  return 0;
}

LRESULT TForm1::OnNotify(const NMHDR& header) {
  if (header.code == NM_CUSTOMDRAW && header.idFrom == CheckBox1)
    return OnCheckBoxDraw(reinterpret_cast<const NMCUSTOMDRAW&>(header));
  if (header.code != UDN_DELTAPOS) return 0;
  int row = LevelRows::RowOf(static_cast<int>(header.idFrom));
  levelRows_.FocusRow(row);
  levelRows_.StepRow(row, reinterpret_cast<const NMUPDOWN&>(header).iDelta);
  return TRUE;  // the rows have stepped; the control must not change its own position
}

LRESULT TForm1::OnStepLevel(int controlId, int delta) {
  levelRows_.StepRow(LevelRows::RowOf(controlId), delta);
  return 0;
}

LRESULT TForm1::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
  return 0;
}

LRESULT TForm1::OnSysCommand(WPARAM wParam, LPARAM lParam) {
  // The window has one size: no maximizing or sizing, whatever sends the command.
  if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE) return 0;
  return DefWindowProcW(hwnd_, WM_SYSCOMMAND, wParam, lParam);
}

LRESULT TForm1::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return 0;
  }
  SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : Control(BitBtn1));
  return 0;
}

LRESULT TForm1::OnHelp() {
  // F1 opens About, the one help the program has. While a box is up the window is disabled,
  // and F1 there must not open another.
  if (IsWindowEnabled(hwnd_)) RunCommand(&TForm1::SpeedButton1Click);
  return TRUE;
}

LRESULT TForm1::OnDestroy() {
  KillTimer(hwnd_, kTimer1);
  PostQuitMessage(0);
  return 0;
}

LRESULT TForm1::OnNcDestroy() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  controls_.fill(nullptr);
  return 0;
}
