#include "ui/form1.h"

#include <exception>

#include "record/record_file.h"
#include "resources/resource_ids.h"
#include "ui/accessible_button.h"
#include "ui/app_title.h"
#include "ui/glyph_button.h"
#include "ui/icons.h"
#include "ui/message_boxes.h"
#include "ui/message_text.h"
#include "ui/system_api.h"

namespace {

constexpr wchar_t kStatusStart[] = L"Open file, please!";
constexpr wchar_t kStatusOpened[] = L"File opened!";
constexpr wchar_t kStatusNoFile[] = L"File not found!";

using ClickHandler = void (TForm1::*)();
struct ClickBinding {
  ControlId control;
  ClickHandler handler;
};
constexpr ClickBinding kClickHandlers[] = {
    {BitBtn1, &TForm1::BitBtn1Click},
    {BitBtn2, &TForm1::BitBtn2Click},
    {BitBtn3, &TForm1::BitBtn3Click},
    {SpeedButton1, &TForm1::SpeedButton1Click},
};

}  // namespace

TForm1::~TForm1() {
  if (hwnd_) DestroyWindow(hwnd_);
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
  if (view_.Dpi() != createdDpi) {
    at = placement(view_.Dpi());
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
    self->commands_.ShowFailure(e.what());
  } catch (...) {
    self->commands_.ShowFailure("Unexpected error");
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
    case WM_DRAWITEM:              return view_.OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_ERASEBKGND:            return view_.OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:          return view_.OnControlColor(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:                 return OnTimer(wParam);
    case WM_GETICON:               return view_.OnGetIcon(wParam, lParam);
    case WM_HELP:                  return OnHelp();
    case WM_SYSCOLORCHANGE:        return view_.OnSysColorChange(wParam, lParam);
    case WM_THEMECHANGED:          return view_.OnThemeChanged();
    case WM_SETTINGCHANGE:         return view_.OnSettingChange(wParam, lParam);
    case WM_ENABLE:                return OnEnable(wParam != FALSE);
    case WM_ACTIVATE:              return OnActivate(LOWORD(wParam) != WA_INACTIVE);
    case WM_SETFOCUS:              return OnActivate(true);
    case WM_SYSCOMMAND:            return OnSysCommand(wParam, lParam);
    case WM_DPICHANGED:            return view_.OnDpiChanged(wParam, reinterpret_cast<LPCRECT>(lParam));
    case WM_DESTROY:               return OnDestroy();
    case WM_NCDESTROY:             return OnNcDestroy();
  }
  // clang-format on
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool TForm1::OnCreate() {
  if (!controls_.Create(hwnd_, instance_, WindowDpi(hwnd_))) return false;
  view_.Attach(hwnd_, instance_);
  std::array<EditBox, LevelRows::kRows> edits;
  std::array<UpDown, LevelRows::kRows> upDowns;
  for (std::size_t row = 0; row < LevelRows::kRows; ++row) {
    edits[row] = EditBox(Control(kLevelEdits[row]));
    upDowns[row] = UpDown(Control(kLevelUpDowns[row]));
  }
  levelRows_.Attach(edits, upDowns);
  // Created at its size, an up-down may take its own default width (17 pixels became 16): once
  // it has its buddy, it keeps the table's.
  for (ControlId id : kLevelUpDowns) controls_.KeepTableSize(id, view_.Dpi());
  NamePictureForScreenReaders(Control(Image1), kAppTitle);

  // Timer1 runs from the moment the window exists; its first tick fills the clock panel.
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
  FormCreate();
  return true;
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
    return view_.OnCheckBoxDraw(reinterpret_cast<const NMCUSTOMDRAW&>(header));
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
  if (IsWindowEnabled(hwnd_)) commands_.Run([this] { SpeedButton1Click(); });
  return TRUE;
}

LRESULT TForm1::OnEnable(bool enabled) {
  // Every box and dialog a command shows disables the window while it shows.
  if (enabled) commands_.BoxClosed();
  return 0;
}

LRESULT TForm1::OnDestroy() {
  KillTimer(hwnd_, kTimer1);
  PostQuitMessage(0);
  return 0;
}

LRESULT TForm1::OnNcDestroy() {
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  controls_.Forget();
  return 0;
}

void TForm1::RunClickHandler(ControlId id) {
  for (const auto& binding : kClickHandlers) {
    // A click queued behind a running command, or behind its box, would otherwise run inside that
    // box's modal loop: every failing save stacking one more box.
    if (binding.control == id) commands_.Run([this, &binding] { (this->*binding.handler)(); });
  }
}

void TForm1::SetStatusMessage(const std::wstring& text) { controls_.Bar().SetPartText(0, text); }

void TForm1::FormCreate() { SetStatusMessage(kStatusStart); }

void TForm1::Timer1Timer() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  ShowClock(now);
}

void TForm1::BitBtn1Click() {
  if (!OpenDialog1.Execute(hwnd_)) {
    SetStatusMessage(kStatusNoFile);
    return;
  }
  // Said before the load, which may fail: the levels shown stay those of the file opened before.
  view_.SetPathTip(PathTipText(openedPath_, OpenDialog1.FileName()));
  saveRule_.Open([this] { LoadRecord(record_, OpenDialog1.FileName()); });
  openedPath_ = OpenDialog1.FileName();
  view_.SetPathTip(openedPath_);
  levelRows_.Show(record_.ReadLevels());
  SetStatusMessage(kStatusOpened);
}

void TForm1::BitBtn2Click() {
  SaveRefusal refusal = saveRule_.Check();
  if (refusal != SaveRefusal::None) {
    ShowGuidanceBox(SaveRefusalText(refusal));
    return;
  }
  const VolumeLevels levels = levelRows_.ToSave();
  SaveRecord(record_, OpenDialog1.FileName(), levels);
  // Show what was saved, so text that did not count is not left looking saved.
  levelRows_.Show(levels);
}

void TForm1::BitBtn3Click() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TForm1::SpeedButton1Click() { ShowAboutBox(hwnd_); }
