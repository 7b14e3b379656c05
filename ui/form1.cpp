#include "ui/form1.h"

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include "resources/resource_ids.h"
#include "system/system_functions.h"
#include "ui/accessible_button.h"
#include "ui/app_title.h"
#include "ui/control_class.h"
#include "ui/glyph_button.h"
#include "ui/high_contrast.h"
#include "ui/icons.h"
#include "ui/logo.h"
#include "ui/message_boxes.h"
#include "ui/system_api.h"
#include "ui/the_record.h"
#include "ui/window_helpers.h"

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

// Sets a flag for one scope and puts back what it was.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag), was_(std::exchange(flag, true)) {}
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;
  ~ScopedFlag() { flag_ = was_; }

 private:
  bool& flag_;
  bool was_;
};

UniqueFont CreateFormFont(int height, const wchar_t* face, BYTE pitchAndFamily) {
  return UniqueFont(CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, pitchAndFamily,
                                face));
}

// The system's status-bar font as a window at this DPI should have it: the system gives it for
// the system DPI.
LOGFONTW StatusFontAt(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;  // XP's size: _WIN32_WINNT is 0x0501
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font = metrics.lfStatusFont;
  } else {
    font.lfHeight = -kWindowFontHeight;
    std::copy(std::begin(kWindowFontFace), std::end(kWindowFontFace), font.lfFaceName);
  }
  font.lfHeight = MulDivRounded(font.lfHeight, dpi, SystemDpi());
  return font;
}

// A level row's name for screen readers: its label's text without the colon.
std::wstring RowName(ControlId label) {
  std::wstring name = LayoutOf(label).text;
  if (!name.empty() && name.back() == L':') name.pop_back();
  return name;
}

// The level boxes step on Up and Down themselves, before the up-down control's own handling of
// its buddy sees the keys: that handling re-reads the text by its own rules and, after a click
// on an arrow, was seen to step twice for one key press.
LRESULT CALLBACK LevelEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR) {
  if (message == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN)) {
    SendMessageW(GetParent(edit), TForm1::kStepLevelMessage, static_cast<WPARAM>(GetDlgCtrlID(edit)),
                 wParam == VK_UP ? 1 : -1);
    return 0;
  }
  // Found once: the box was subclassed, so comctl32 is loaded and has them.
  static const auto remove = kRemoveWindowSubclass.Find();
  static const auto next = kDefSubclassProc.Find();
  if (message == WM_NCDESTROY) remove(edit, LevelEditProc, id);
  return next(edit, message, wParam, lParam);
}

}  // namespace

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
    self->ShowFailure(e.what());
  } catch (...) {
    self->ShowFailure("Unexpected error");
  }
  return 0;
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // clang-format off
  switch (message) {
    case WM_CREATE:         return OnCreate() ? 0 : -1;
    case WM_COMMAND:        return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:         return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case kStepLevelMessage: return OnStepLevel(static_cast<int>(wParam), static_cast<int>(lParam));
    case WM_DRAWITEM:       return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_ERASEBKGND:     return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:   return OnControlColor(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:          return OnTimer(wParam);
    case WM_HELP:           return OnHelp();
    case WM_SYSCOLORCHANGE: return OnSysColorChange(wParam, lParam);
    case WM_THEMECHANGED:   return OnThemeChanged();
    case WM_SETTINGCHANGE:  return OnSettingChange(wParam, lParam);
    case WM_ACTIVATE:       return OnActivate(LOWORD(wParam) != WA_INACTIVE);
    case WM_SETFOCUS:       return OnActivate(true);
    case WM_SYSCOMMAND:     return OnSysCommand(wParam, lParam);
    case WM_DPICHANGED:     return OnDpiChanged(wParam, reinterpret_cast<LPCRECT>(lParam));
    case WM_DESTROY:        return OnDestroy();
    case WM_NCDESTROY:      return OnNcDestroy();
  }
  // clang-format on
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT TForm1::OnEraseBackground(HDC dc) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, BackgroundBrush());
  return TRUE;
}

LRESULT TForm1::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
  return 0;
}

LRESULT TForm1::OnSysColorChange(WPARAM wParam, LPARAM lParam) {
  // Common controls learn of new colours only from their parent.
  for (HWND control : controls_) SendMessageW(control, WM_SYSCOLORCHANGE, wParam, lParam);
  ReadContrast();
  return 0;
}

LRESULT TForm1::OnSettingChange(WPARAM wParam, LPARAM lParam) {
  ReadContrast();  // high contrast on or off, or a new scheme
  if (lParam && lstrcmpiW(reinterpret_cast<LPCWSTR>(lParam), L"intl") == 0) {
    clock_.Rebuild();
    FitStatusFont(true);  // the new format may be wider
  } else if (wParam == SPI_SETNONCLIENTMETRICS) {
    FitStatusFont(true);
  }
  return DefWindowProcW(hwnd_, WM_SETTINGCHANGE, wParam, lParam);
}

LRESULT TForm1::OnSysCommand(WPARAM wParam, LPARAM lParam) {
  // The window has one size: no maximizing or sizing, whatever sends the command.
  if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE) return 0;
  return DefWindowProcW(hwnd_, WM_SYSCOMMAND, wParam, lParam);
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

bool TForm1::OnCreate() {
  dpi_ = WindowDpi(hwnd_);
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    controls_[i] = CreateControl(kForm1Layout[i]);
    if (!controls_[i]) return false;
  }
  SetUpControls(false);  // nothing shows yet, so nothing to redraw
  statusTip_.Create(Control(StatusBar1));
  for (const auto& c : kForm1Layout) {
    if (c.kind != ControlKind::UpDown) continue;
    // The up-down only shows the arrows: the form keeps each level and writes its box.
    HWND upDown = Control(c.id);
    HWND edit = Control(c.buddy);
    UpDownSetBuddy(upDown, edit);
    UpDownSetRange(upDown, kLevelMin, kLevelMax);
    UpDownSetPos(upDown, kLevelMin);
    // After the buddy, so the keys reach the form first.
    static const auto subclass = kSetWindowSubclass.Find();
    if (subclass) subclass(edit, LevelEditProc, 0, 0);
    NameForScreenReaders(upDown, RowName(static_cast<ControlId>(Label1 + SlotOf(c.id))), 0);
    // Created at its size, an up-down takes its own default width (17 pixels became 16): moved
    // after creation, it keeps the table's.
    LayoutRect r = ScaleForDpi(c.rect, dpi_);
    SetWindowPos(upDown, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  NameForScreenReaders(Control(Image1), kAppTitle, ROLE_SYSTEM_GRAPHIC);
  ApplyIcons();
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
  if (control && (c.flags & kChecked)) ButtonSetCheck(control, true);
  return control;
}

void TForm1::SetUpControls(bool redraw) {
  // Every control gets its new font and glyph before the old ones are deleted, when the members
  // take the new ones at the end: no control is ever left holding a deleted font or bitmap.
  UniqueFont windowFont =
      CreateFormFont(ScaleForDpi(kWindowFontHeight, dpi_), kWindowFontFace, DEFAULT_PITCH | FF_SWISS);
  UniqueFont labelFont =
      CreateFormFont(ScaleForDpi(kLabelFontHeight, dpi_), kLabelFontFace, FIXED_PITCH | FF_MODERN);
  int glyphSize = GlyphSizeForDpi(dpi_);
  std::array<UniqueBitmap, kForm1Layout.size()> glyphs;
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    const ControlLayout& c = kForm1Layout[i];
    if (c.glyph)
      glyphs[i].reset(
          static_cast<HBITMAP>(LoadImageW(instance_, MAKEINTRESOURCEW(GlyphResourceId(c.glyph, glyphSize)),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (c.font == FontKind::Window || c.font == FontKind::Label)
      HwndSetFont(controls_[i], c.font == FontKind::Label ? labelFont.get() : windowFont.get(), redraw);
    // After the font, which resets the margins: a 17-pixel box would draw its digit under the caret.
    if (c.kind == ControlKind::Edit) EditSetMargins(controls_[i], ScaleForDpi(kEditLeftMargin, dpi_), 0);
    if (c.kind == ControlKind::SpeedButton) SetSpeedButtonGlyph(controls_[i], glyphs[i].get(), glyphSize);
  }
  windowFont_ = std::move(windowFont);
  labelFont_ = std::move(labelFont);
  glyphs_ = std::move(glyphs);
  glyphSize_ = glyphSize;
  const int parts[] = {ScaleForDpi(kStatusPanel0Width, dpi_), -1};
  StatusBarSetParts(Control(StatusBar1), parts);
  FitStatusFont(redraw);
}

void TForm1::FitStatusFont(bool redraw) {
  HWND bar = Control(StatusBar1);
  RECT part = StatusBarPartRect(bar, 1);
  LOGFONTW font = StatusFontAt(dpi_);
  const LONG sign = font.lfHeight < 0 ? -1 : 1;
  auto fontOfHeight = [&](int height) {
    font.lfHeight = sign * height;
    return UniqueFont(CreateFontIndirectW(&font));
  };
  UniqueScreenDc screen(GetDC(nullptr));
  int height = FittedFontHeight(sign * font.lfHeight, ScaleForDpi(8, dpi_), [&](int candidate) {
    UniqueFont tried = fontOfHeight(candidate);
    ScopedSelect select(screen.get(), tried.get());
    return ClockFits(part.right - part.left, clock_.WidestTextWidth(screen.get()), dpi_);
  });
  UniqueFont fitted = fontOfHeight(height);
  HwndSetFont(bar, fitted.get(), redraw);
  statusFont_ = std::move(fitted);  // the bar's old font is deleted only now
}

void TForm1::ApplyLayout() {
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    LayoutRect r = ScaleForDpi(kForm1Layout[i].rect, dpi_);
    SetWindowPos(controls_[i], nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetUpControls(true);
  statusTip_.Place();
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TForm1::ApplyIcons() {
  // Sized for this DPI, so the title bar and the task switcher never shrink a larger image.
  UniqueIcon small(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kSmallIconSize, dpi_)));
  UniqueIcon large(LoadIconForSize(instance_, IDI_VELMORA, ScaleForDpi(kLargeIconSize, dpi_)));
  WindowSetIcon(hwnd_, ICON_SMALL, small.get());
  WindowSetIcon(hwnd_, ICON_BIG, large.get());
  smallIcon_ = std::move(small);  // the icons the window used before are released only now
  largeIcon_ = std::move(large);
}

void TForm1::ReadContrast() {
  bool on = FollowSchemeColors();
  if (on != followScheme_) {
    followScheme_ = on;
    // Windows drops visual styles in high contrast. Where a system keeps them (Wine, and any
    // dark scheme), the controls would paint the style's light faces under the scheme's light
    // text: turn them off here too.
    // A class list naming no class turns a window's style off; Wine takes an empty one as none.
    static const auto setWindowTheme = kSetWindowTheme.Find();
    std::array<HWND, kForm1Layout.size() + 1> themed{};  // the controls and the path's tooltip
    std::copy(controls_.begin(), controls_.end(), themed.begin());
    themed.back() = statusTip_.Handle();
    for (HWND control : themed) {
      if (control && setWindowTheme) setWindowTheme(control, on ? L" " : nullptr, on ? L" " : nullptr);
    }
  }
  if (BackgroundColor() != logoBackground_) {
    logo_ = LoadLogo(instance_, BackgroundColor());
    logoBackground_ = BackgroundColor();
  }
  if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// White with black text unless the user's scheme is dark or high contrast; then the system's
// window colours throughout.
COLORREF TForm1::BackgroundColor() const {
  return followScheme_ ? GetSysColor(COLOR_WINDOW) : kFixedBackground;
}

COLORREF TForm1::TextColor() const { return followScheme_ ? GetSysColor(COLOR_WINDOWTEXT) : kFixedText; }

HBRUSH TForm1::BackgroundBrush() const {
  return followScheme_ ? GetSysColorBrush(COLOR_WINDOW) : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

// Labels, the check box and the level boxes: the window's background and its text colour.
LRESULT TForm1::OnControlColor(HDC dc) const {
  SetBkColor(dc, BackgroundColor());
  SetTextColor(dc, TextColor());
  return reinterpret_cast<LRESULT>(BackgroundBrush());
}

HBITMAP TForm1::GlyphBitmap(ControlId id) const {
  std::size_t i = LayoutIndexOf(id);
  return i < glyphs_.size() ? glyphs_[i].get() : nullptr;
}

LRESULT TForm1::OnCommand(int id, int code) {
  if (id == IDOK) {
    // Enter: press the focused button; in a text box it does nothing.
    HWND focus = GetFocus();
    if (focus && GetParent(focus) == hwnd_ &&
        LayoutOf(static_cast<ControlId>(GetDlgCtrlID(focus))).kind == ControlKind::GlyphButton)
      SendMessageW(focus, BM_CLICK, 0, 0);
    return 0;
  }
  if (code == EN_CHANGE) {
    // Typing that counts becomes the box's value; anything else leaves the last one standing.
    int slot = SlotOf(id);
    if (slot < 0) return 0;
    if (auto level = ParseLevelText(HwndText(Control(kLevelEdits[slot])))) {
      levels_[static_cast<std::size_t>(slot)] = *level;
      UpDownSetPos(Control(kLevelUpDowns[slot]), *level);
    }
    return 0;
  }
  if (code != BN_CLICKED) return 0;
  for (const auto& binding : kClickHandlers) {
    if (binding.control == id) RunCommand(binding.handler);
  }
  return 0;
}

void TForm1::RunCommand(void (TForm1::*handler)()) {
  // A click queued behind a running command, or behind its box, would otherwise run inside that
  // box's modal loop: every failing save stacking one more box.
  if (commandRunning_) return;
  ScopedFlag running(commandRunning_);
  (this->*handler)();
}

void TForm1::ShowFailure(const char* message) {
  ScopedFlag running(commandRunning_);  // the box belongs to the command that failed
  ShowErrorBox(message);
}

LRESULT TForm1::OnNotify(const NMHDR& header) {
  if (header.code == NM_CUSTOMDRAW && header.idFrom == CheckBox1)
    return OnCheckBoxDraw(reinterpret_cast<const NMCUSTOMDRAW&>(header));
  if (header.code != UDN_DELTAPOS) return 0;
  int slot = SlotOf(static_cast<int>(header.idFrom));
  if (slot < 0) return 0;
  // An arrow click puts the focus in its row's box, so the keys then act where the user looks.
  HWND edit = Control(kLevelEdits[slot]);
  if (GetFocus() != edit) SetFocus(edit);
  StepLevel(slot, reinterpret_cast<const NMUPDOWN&>(header).iDelta);
  return TRUE;  // the form has stepped; the control must not change its own position
}

LRESULT TForm1::OnCheckBoxDraw(const NMCUSTOMDRAW& draw) const {
  // In the user's colours the form draws the box and its caption, the caption in the scheme's
  // colour for disabled text: the button's own drawing embosses a disabled caption in the 3-D
  // colours, which on a dark scheme looks no different from an enabled one.
  if (!followScheme_ || draw.dwDrawStage != CDDS_PREPAINT) return CDRF_DODEFAULT;
  HWND box = draw.hdr.hwndFrom;
  bool enabled = IsWindowEnabled(box) != FALSE;
  const RECT& r = draw.rc;
  int size = ScaleForDpi(kCheckBoxSize, dpi_);
  RECT mark{r.left, r.top + (r.bottom - r.top - size) / 2, r.left + size, 0};
  mark.bottom = mark.top + size;
  bool checked = ButtonGetCheck(box);
  DrawFrameControl(draw.hdc, &mark, DFC_BUTTON,
                   DFCS_BUTTONCHECK | (checked ? DFCS_CHECKED : 0) | (enabled ? 0 : DFCS_INACTIVE));
  SIZE zero{};
  GetTextExtentPoint32W(draw.hdc, L"0", 1, &zero);  // the box and caption stand half a digit apart
  RECT text{mark.right + zero.cx / 2, r.top, r.right, r.bottom};
  std::wstring caption = HwndText(box);
  SetBkMode(draw.hdc, TRANSPARENT);
  SetTextColor(
      draw.hdc,
      enabled ? TextColor() : DisabledTextColor(GetSysColor(COLOR_GRAYTEXT), TextColor(), BackgroundColor()));
  DrawTextW(draw.hdc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  return CDRF_SKIPDEFAULT;
}

LRESULT TForm1::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID == Image1) {
    FillRect(item.hDC, &item.rcItem, BackgroundBrush());
    if (!logo_) return TRUE;
    UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
    ScopedSelect select(source.get(), logo_.get());
    LayoutRect at = ScaleForDpi(kLogoPlacement, dpi_);
    SetStretchBltMode(item.hDC, HALFTONE);
    StretchBlt(item.hDC, at.left, at.top, at.width, at.height, source.get(), 0, 0, kLogoPlacement.width,
               kLogoPlacement.height, SRCCOPY);
    return TRUE;
  }
  DrawGlyphButton(item, GlyphBitmap(static_cast<ControlId>(item.CtlID)), glyphSize_,
                  ScaleForDpi(kGlyphGap, dpi_));
  return TRUE;
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

LRESULT TForm1::OnDpiChanged(WPARAM dpis, const RECT* suggested) {
  const int dpiX = LOWORD(dpis), dpiY = HIWORD(dpis);
  // Windows always sends one DPI for both axes and the window's new frame. Anything else is
  // a broken message: acting on it would blank the window or push every control off-screen.
  if (dpiX != dpiY || !IsSaneDpi(dpiY) || !suggested || suggested->right <= suggested->left ||
      suggested->bottom <= suggested->top)
    return 0;
  dpi_ = dpiY;
  ApplyLayout();
  ApplyIcons();
  SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
               suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

LRESULT TForm1::OnThemeChanged() {
  ReadContrast();  // a style turned on or off may change what the scheme asks of the window
  return 0;
}

LRESULT TForm1::OnHelp() {
  // F1 opens About, the one help the program has. While a box is up the window is disabled,
  // and F1 there must not open another.
  if (IsWindowEnabled(hwnd_)) RunCommand(&TForm1::SpeedButton1Click);
  return TRUE;
}

void TForm1::SetStatusMessage(const std::wstring& text) { StatusBarSetText(Control(StatusBar1), 0, text); }

void TForm1::FormCreate() { SetStatusMessage(kStatusStart); }

void TForm1::Timer1Timer() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  ShowClock(now);
}

void TForm1::ShowClock(const SYSTEMTIME& time) {
  StatusBarSetText(Control(StatusBar1), 1, L"\t" + clock_.Text(time));  // a leading tab centres it
}

void TForm1::BitBtn1Click() {
  if (!OpenDialog1.Execute(hwnd_)) {
    SetStatusMessage(kStatusNoFile);
    return;
  }
  statusTip_.SetText(OpenDialog1.FileName());  // the path is the chosen one even if the load fails
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
  VolumeLevels levels{};
  for (int slot = 0; slot < 4; ++slot)
    levels[static_cast<std::size_t>(slot)] = static_cast<std::uint8_t>(LevelToSave(slot));
  Save(OpenDialog1.FileName(), levels);
  // Show what was saved, so text that did not count is not left looking saved.
  for (int slot = 0; slot < 4; ++slot) ShowLevel(slot, levels[static_cast<std::size_t>(slot)]);
}

void TForm1::BitBtn3Click() { SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TForm1::SpeedButton1Click() { ShowAboutBox(hwnd_); }

LRESULT TForm1::OnStepLevel(int controlId, int delta) {
  StepLevel(SlotOf(controlId), delta);
  return 0;
}

int TForm1::SlotOf(int controlId) const {
  for (int slot = 0; slot < 4; ++slot) {
    if (kLevelEdits[slot] == controlId || kLevelUpDowns[slot] == controlId) return slot;
  }
  return -1;
}

void TForm1::StepLevel(int slot, int delta) {
  if (slot < 0) return;
  ShowLevel(slot, ::StepLevel(HwndText(Control(kLevelEdits[slot])), levels_[static_cast<std::size_t>(slot)],
                              delta));
  EditSetSelection(Control(kLevelEdits[slot]), 1, 1);  // the caret after the digit, not over it
}

int TForm1::LevelToSave(int slot) const {
  return LevelForSave(HwndText(Control(kLevelEdits[slot])), levels_[static_cast<std::size_t>(slot)]);
}

void TForm1::ShowLevel(int slot, int level) {
  levels_[static_cast<std::size_t>(slot)] = level;
  UpDownSetPos(Control(kLevelUpDowns[slot]), level);
  const wchar_t text[2] = {static_cast<wchar_t>(L'0' + level), L'\0'};  // a level is one digit
  HwndSetText(Control(kLevelEdits[slot]), text);
}
