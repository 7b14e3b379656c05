#include "ui/form1.h"

#include <commctrl.h>

#include <exception>

#include "record/record_io.h"
#include "resources/resource_ids.h"
#include "system/system_functions.h"
#include "ui/glyph_button.h"
#include "ui/high_contrast.h"
#include "ui/icons.h"
#include "ui/jpeg_decode.h"
#include "ui/message_boxes.h"
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

std::size_t IndexOf(ControlId id) {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    if (kForm1Layout[i].id == id) return i;
  }
  return kForm1Layout.size();
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)), L'\0');
  GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size() + 1));
  return text;
}

UniqueBitmap LoadLogo(HINSTANCE instance) {
  HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(IDR_LOGO), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL data = info ? LoadResource(instance, info) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  DecodedImage image;
  if (!bytes || !DecodeJpeg(static_cast<const std::uint8_t*>(bytes), SizeofResource(instance, info), image))
    return {};  // the window is still usable without its picture

  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = image.width;
  bmi.bmiHeader.biHeight = -image.height;  // top-down, as decoded
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap) std::copy(image.bgrx.begin(), image.bgrx.end(), static_cast<std::uint8_t*>(bits));
  return bitmap;
}

// The level boxes step on Up and Down themselves, before the up-down control's own handling of
// its buddy sees the keys: that handling re-reads the text by its own rules and, after a click
// on an arrow, was seen to step twice for one key press.
LRESULT CALLBACK LevelEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  auto next = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
    SendMessageW(GetParent(edit), TForm1::kStepLevelMessage, static_cast<WPARAM>(GetDlgCtrlID(edit)),
                 wParam == VK_UP ? 1 : -1);
    return 0;
  }
  return CallWindowProcW(next, edit, message, wParam, lParam);
}

void SubclassLevelEdit(HWND edit) {
  SetWindowLongPtrW(edit, GWLP_USERDATA, GetWindowLongPtrW(edit, GWLP_WNDPROC));
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LevelEditProc));
}

}  // namespace

TForm1::~TForm1() {
  if (hwnd_) DestroyWindow(hwnd_);
}

HWND TForm1::Control(ControlId id) const {
  std::size_t i = IndexOf(id);
  return i < controls_.size() ? controls_[i] : nullptr;
}

bool TForm1::Create(HINSTANCE instance, int showCommand) {
  instance_ = instance;
  RegisterSpeedButtonClass(instance);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  // No class icons: each window sets its own, sized for its DPI and owned by its form.
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
    ShowErrorBox(e.what());
  } catch (...) {
    ShowErrorBox("Unexpected error");
  }
  return 0;
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case kStepLevelMessage:
      StepLevel(SlotOf(static_cast<int>(wParam)), static_cast<int>(lParam));
      return 0;
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundBrush());
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      // Labels and the check box sit on the window's background.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, BackgroundColor());
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    case WM_TIMER:
      if (wParam == kTimer1) Timer1Timer();
      return 0;
    case WM_HELP:
      OnHelp();
      return TRUE;
    case WM_SYSCOLORCHANGE:
      // Common controls learn of new colours only from their parent.
      for (HWND control : controls_) SendMessageW(control, WM_SYSCOLORCHANGE, wParam, lParam);
      ReadContrast();
      return 0;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETHIGHCONTRAST) ReadContrast();
      if (lParam && lstrcmpiW(reinterpret_cast<LPCWSTR>(lParam), L"intl") == 0) clock_.Rebuild();
      break;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_SETFOCUS:
      OnActivate(true);
      return 0;
    case WM_SYSCOMMAND:
      // The window has one size: no maximizing or sizing, whatever sends the command.
      if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE) return 0;
      break;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kTimer1);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      controls_.fill(nullptr);
      return 0;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool TForm1::OnCreate() {
  dpi_ = WindowDpi(hwnd_);
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    if (int glyph = kForm1Layout[i].glyph)
      glyphs_[i].reset(static_cast<HBITMAP>(
          LoadImageW(instance_, MAKEINTRESOURCEW(glyph), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  }
  logo_ = LoadLogo(instance_);

  CreateFonts();
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    controls_[i] = CreateControl(kForm1Layout[i]);
    if (!controls_[i]) return false;
  }
  SetUpControls(false);  // nothing shows yet, so nothing to redraw
  for (const auto& c : kForm1Layout) {
    if (c.kind != ControlKind::UpDown) continue;
    // The up-down only shows the arrows: the form keeps each level and writes its box.
    HWND upDown = Control(c.id);
    SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Control(c.buddy)), 0);
    SendMessageW(upDown, UDM_SETRANGE32, kLevelMin, kLevelMax);
    SendMessageW(upDown, UDM_SETPOS32, 0, kLevelMin);
    SubclassLevelEdit(Control(c.buddy));  // after UDM_SETBUDDY, so the keys reach the form first
    // Created at its size, an up-down takes its own default width (17 pixels became 16): moved
    // after creation, it keeps the table's.
    LayoutRect r = ScaleForDpi(c.rect, dpi_);
    SetWindowPos(upDown, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ApplyIcons();
  ReadContrast();

  // Timer1 runs from the moment the window exists; its first tick fills the clock panel.
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
  FormCreate();
  return true;
}

HWND TForm1::CreateControl(const ControlLayout& c) {
  const wchar_t* className = WC_STATICW;
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  switch (c.kind) {
    case ControlKind::Picture:
      style |= SS_OWNERDRAW;
      break;
    case ControlKind::Label:
      style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::Edit:
      className = WC_EDITW;
      style |= ES_LEFT | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::UpDown:
      className = UPDOWN_CLASSW;
      style |= UDS_NOTHOUSANDS;
      break;
    case ControlKind::GlyphButton:
      className = WC_BUTTONW;
      style |= BS_OWNERDRAW;
      break;
    case ControlKind::CheckBox:
      className = WC_BUTTONW;
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::SpeedButton:
      className = kSpeedButtonClass;
      break;
    case ControlKind::StatusBar:
      // Placed by the layout like every other control; the window never changes size.
      className = STATUSCLASSNAMEW;
      style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
      break;
  }
  if (c.flags & kTabStop) style |= WS_TABSTOP;
  if (c.flags & kDisabled) style |= WS_DISABLED;
  LayoutRect r = ScaleForDpi(c.rect, dpi_);
  HWND control = CreateWindowExW(exStyle, className, c.text, style, r.left, r.top, r.width, r.height, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
  if (control && (c.flags & kChecked)) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
  return control;
}

void TForm1::CreateFonts() {
  windowFont_.reset(CreateFontW(-ScaleForDpi(kWindowFontHeight, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, kWindowFontFace));
  labelFont_.reset(CreateFontW(-ScaleForDpi(kLabelFontHeight, dpi_), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                               DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                               FIXED_PITCH | FF_MODERN, kLabelFontFace));
}

void TForm1::SetUpControls(bool redraw) {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    const ControlLayout& c = kForm1Layout[i];
    if (HFONT font = FontFor(c.font))
      SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    // After the font, which resets the margins: a 17-pixel box would draw its digit under the caret.
    if (c.kind == ControlKind::Edit)
      SendMessageW(controls_[i], EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                   MAKELPARAM(ScaleForDpi(kEditLeftMargin, dpi_), 0));
    if (c.kind == ControlKind::SpeedButton)
      SetSpeedButtonGlyph(controls_[i], glyphs_[i].get(), ScaleForDpi(kGlyphSize, dpi_));
  }
  HWND status = Control(StatusBar1);
  int parts[2] = {ScaleForDpi(kStatusPanel0Width, dpi_), -1};
  SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
}

void TForm1::ApplyLayout() {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    LayoutRect r = ScaleForDpi(kForm1Layout[i].rect, dpi_);
    SetWindowPos(controls_[i], nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  CreateFonts();
  SetUpControls(true);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HFONT TForm1::FontFor(FontKind kind) const {
  switch (kind) {
    case FontKind::Window:
      return windowFont_.get();
    case FontKind::Label:
      return labelFont_.get();
    case FontKind::System:
      break;  // the status bar keeps the system's status-bar font
  }
  return nullptr;
}

void TForm1::ApplyIcons() {
  // Sized for this DPI, so the title bar and the task switcher never shrink a larger image.
  UniqueIcon small(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kSmallIconSize, dpi_)));
  UniqueIcon large(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kLargeIconSize, dpi_)));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.get()));
  smallIcon_ = std::move(small);  // the icons the window used before are released only now
  largeIcon_ = std::move(large);
}

void TForm1::ReadContrast() {
  bool on = HighContrastOn();
  if (on != highContrast_) {
    highContrast_ = on;
    // Windows drops visual styles in high contrast. Where a system keeps them (Wine), the
    // controls would paint the style's colours under the scheme's text: turn them off here too.
    // A class list naming no class turns a window's style off; Wine takes an empty one as none.
    auto setWindowTheme = kSetWindowTheme.Find();
    for (HWND control : controls_) {
      if (control && setWindowTheme) setWindowTheme(control, on ? L" " : nullptr, on ? L" " : nullptr);
    }
  }
  if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// White unless the user asked for high contrast; then the system's window colours throughout.
COLORREF TForm1::BackgroundColor() const {
  return highContrast_ ? GetSysColor(COLOR_WINDOW) : RGB(255, 255, 255);
}

HBRUSH TForm1::BackgroundBrush() const {
  return highContrast_ ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

HBITMAP TForm1::GlyphBitmap(ControlId id) const {
  std::size_t i = IndexOf(id);
  return i < glyphs_.size() ? glyphs_[i].get() : nullptr;
}

void TForm1::OnCommand(int id, int code) {
  if (id == IDOK) {
    // Enter: press the focused button; in a text box it does nothing.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == hwnd_ &&
        LayoutOf(static_cast<ControlId>(GetDlgCtrlID(focus))).kind == ControlKind::GlyphButton)
      SendMessageW(focus, BM_CLICK, 0, 0);
    return;
  }
  if (code == EN_CHANGE) {
    // Typing that counts becomes the box's value; anything else leaves the last one standing.
    int slot = SlotOf(id);
    if (slot < 0) return;
    if (auto level = ParseLevelText(WindowText(Control(kLevelEdits[slot])))) {
      levels_[static_cast<std::size_t>(slot)] = *level;
      SendMessageW(Control(kLevelUpDowns[slot]), UDM_SETPOS32, 0, *level);
    }
    return;
  }
  if (code != BN_CLICKED) return;
  for (const auto& binding : kClickHandlers) {
    if (binding.control == id) {
      (this->*binding.handler)();
      return;
    }
  }
}

LRESULT TForm1::OnNotify(const NMHDR& header) {
  if (header.code != UDN_DELTAPOS) return 0;
  int slot = SlotOf(static_cast<int>(header.idFrom));
  if (slot < 0) return 0;
  // An arrow click puts the focus in its row's box, so the keys then act where the user looks.
  HWND edit = Control(kLevelEdits[slot]);
  if (GetFocus() != edit) SetFocus(edit);
  StepLevel(slot, reinterpret_cast<const NMUPDOWN&>(header).iDelta);
  return TRUE;  // the form has stepped; the control must not change its own position
}

void TForm1::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID == Image1) {
    FillRect(item.hDC, &item.rcItem, BackgroundBrush());
    if (!logo_) return;
    UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
    ScopedSelect select(source.get(), logo_.get());
    LayoutRect at = ScaleForDpi(kLogoPlacement, dpi_);
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchBlt(item.hDC, at.left, at.top, at.width, at.height, source.get(), 0, 0, kLogoPlacement.width,
               kLogoPlacement.height, SRCCOPY);
    return;
  }
  DrawGlyphButton(item, GlyphBitmap(static_cast<ControlId>(item.CtlID)), ScaleForDpi(kGlyphSize, dpi_),
                  ScaleForDpi(kGlyphGap, dpi_));
}

void TForm1::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : Control(BitBtn1));
}

void TForm1::OnDpiChanged(int dpiX, int dpiY, const RECT* suggested) {
  // Windows always sends one DPI for both axes and the window's new frame. Anything else is
  // a broken message: acting on it would blank the window or push every control off-screen.
  if (dpiX != dpiY || !IsSaneDpi(dpiY) || !suggested || suggested->right <= suggested->left ||
      suggested->bottom <= suggested->top)
    return;
  dpi_ = dpiY;
  ApplyLayout();
  ApplyIcons();
  SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm1::OnHelp() {
  // F1 opens About, the one help the program has. While a box is up the window is disabled,
  // and F1 there must not open another.
  if (IsWindowEnabled(hwnd_)) SpeedButton1Click();
}

void TForm1::SetStatusMessage(const std::wstring& text) {
  SendMessageW(Control(StatusBar1), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TForm1::FormCreate() { SetStatusMessage(kStatusStart); }

void TForm1::Timer1Timer() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::wstring text = L"\t" + clock_.Text(now);  // a leading tab centres the text in its panel
  SendMessageW(Control(StatusBar1), SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void TForm1::BitBtn1Click() {
  if (!OpenDialog1.Execute(hwnd_)) {
    SetStatusMessage(kStatusNoFile);
    return;
  }
  saveRule_.Open([this] { Load(OpenDialog1.FileName()); });
  VolumeLevels levels = TheRecord().ReadLevels();
  for (int slot = 0; slot < 4; ++slot) ShowLevel(slot, ClampLevel(levels[static_cast<std::size_t>(slot)]));
  SetStatusMessage(kStatusOpened);
}

void TForm1::BitBtn2Click() {
  SaveRefusal refusal = saveRule_.Check();
  if (refusal != SaveRefusal::None) {
    ShowGuidanceBox(SaveRefusalText(refusal));
    return;
  }
  std::array<int, 4> levels{};
  for (int slot = 0; slot < 4; ++slot) levels[static_cast<std::size_t>(slot)] = LevelToSave(slot);
  Save(OpenDialog1.FileName(), levels);
  // Show what was saved, so text that did not count is not left looking saved.
  for (int slot = 0; slot < 4; ++slot) ShowLevel(slot, levels[static_cast<std::size_t>(slot)]);
}

void TForm1::BitBtn3Click() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TForm1::SpeedButton1Click() { ShowAboutBox(hwnd_); }

int TForm1::SlotOf(int controlId) const {
  for (int slot = 0; slot < 4; ++slot) {
    if (kLevelEdits[slot] == controlId || kLevelUpDowns[slot] == controlId) return slot;
  }
  return -1;
}

void TForm1::StepLevel(int slot, int delta) {
  if (slot < 0) return;
  ShowLevel(slot, ::StepLevel(WindowText(Control(kLevelEdits[slot])), levels_[static_cast<std::size_t>(slot)],
                              delta));
  SendMessageW(Control(kLevelEdits[slot]), EM_SETSEL, 1, 1);  // the caret after the digit, not over it
}

int TForm1::LevelToSave(int slot) const {
  return LevelForSave(WindowText(Control(kLevelEdits[slot])), levels_[static_cast<std::size_t>(slot)]);
}

void TForm1::ShowLevel(int slot, int level) {
  levels_[static_cast<std::size_t>(slot)] = level;
  SendMessageW(Control(kLevelUpDowns[slot]), UDM_SETPOS32, 0, level);
  const wchar_t text[2] = {static_cast<wchar_t>(L'0' + level), L'\0'};  // a level is one digit
  SetWindowTextW(Control(kLevelEdits[slot]), text);
}
