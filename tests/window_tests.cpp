// The main window as a user meets it: its layout and its keyboard.
#include <algorithm>
#include <cwchar>

#include "tests/window_test_support.h"
#include "ui/jpeg_decode.h"
#include "ui/system_api.h"  // WM_DPICHANGED, which XP's headers do not name

namespace {

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

using Form1Layout = Form1Test;
using Form1Keyboard = Form1Test;

}  // namespace

TEST_F(Form1Layout, WindowIsFixedSizeWhiteAndCaptionedVelmora) {
  EXPECT_EQ(ClassOf(Main()), L"TForm1");
  EXPECT_EQ(TextOf(Main()), L"Velmora");
  RECT client{};
  GetClientRect(Main(), &client);
  EXPECT_EQ(client.right, 266);
  EXPECT_EQ(client.bottom, 200);

  LONG style = GetWindowLongW(Main(), GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_EQ(GetClassLongPtrW(Main(), GCLP_HBRBACKGROUND),
            reinterpret_cast<LONG_PTR>(GetStockObject(WHITE_BRUSH)));
}

TEST_F(Form1Layout, EveryControlStandsWhereTheDesignPutsItWithItsTextAndFont) {
  // The design's pixels at 96 DPI, measured on the window: the host tests check the layout table
  // by its properties, which hold as well with a width a pixel off.
  const struct {
    ControlId id;
    int left, top, width, height;
  } kDesign[] = {
      {Image1, 8, 8, 105, 105},      {Label1, 120, 16, 70, 18},    {Label2, 120, 40, 70, 18},
      {Label3, 120, 64, 80, 18},     {Label4, 120, 88, 100, 18},   {Edit1, 224, 16, 17, 21},
      {Edit2, 224, 40, 17, 21},      {Edit3, 224, 64, 17, 21},     {Edit4, 224, 88, 17, 21},
      {UpDown1, 241, 16, 17, 21},    {UpDown2, 241, 40, 16, 21},   {UpDown3, 241, 64, 16, 21},
      {UpDown4, 241, 88, 16, 21},    {BitBtn1, 8, 120, 83, 25},    {BitBtn2, 96, 120, 81, 25},
      {BitBtn3, 184, 120, 75, 25},   {CheckBox1, 8, 152, 217, 17}, {SpeedButton1, 232, 152, 23, 22},
      {StatusBar1, 0, 181, 266, 19},
  };
  ASSERT_EQ(std::size(kDesign), kForm1Layout.size());
  for (const auto& d : kDesign) {
    RECT r = RectInParent(C(d.id)), want{d.left, d.top, d.left + d.width, d.top + d.height};
    EXPECT_TRUE(EqualRect(&r, &want)) << LayoutOf(d.id).name << " " << Describe(r);
  }
  const std::pair<ControlKind, const wchar_t*> kClasses[] = {
      {ControlKind::Picture, L"Static"},
      {ControlKind::Label, L"Static"},
      {ControlKind::Edit, L"Edit"},
      {ControlKind::UpDown, L"msctls_updown32"},
      {ControlKind::GlyphButton, L"Button"},
      {ControlKind::CheckBox, L"Button"},
      {ControlKind::SpeedButton, L"TSpeedButton"},
      {ControlKind::StatusBar, L"msctls_statusbar32"},
  };
  for (const auto& c : kForm1Layout) {
    SCOPED_TRACE(c.name);
    HWND hwnd = C(c.id);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetDlgCtrlID(hwnd), c.id);
    for (const auto& [kind, name] : kClasses) {
      if (kind == c.kind) {
        EXPECT_EQ(_wcsicmp(ClassOf(hwnd).c_str(), name), 0);
      }
    }
    if (c.text) {
      EXPECT_EQ(TextOf(hwnd), c.text);
    }
    if (c.text && (c.font == FontKind::Window || c.font == FontKind::Label)) {
      LOGFONTW font{};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
      EXPECT_EQ(font.lfHeight, c.font == FontKind::Label ? -16 : -11);
      EXPECT_STREQ(font.lfFaceName, c.font == FontKind::Label ? L"Courier New" : L"Tahoma");
    }
  }
}

TEST_F(Form1Layout, ControlsHaveTheirBehaviour) {
  for (int slot = 0; slot < 4; ++slot) {
    HWND upDown = C(kLevelUpDowns[slot]);
    EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(upDown, UDM_GETBUDDY, 0, 0)), C(kLevelEdits[slot]));
    int low = 0, high = 0;
    SendMessageW(upDown, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 6);
    EXPECT_EQ(SendMessageW(upDown, UDM_GETPOS32, 0, 0), 1);
    EXPECT_FALSE(GetWindowLongW(upDown, GWL_STYLE) & UDS_WRAP);
    EXPECT_EQ(TextOf(C(kLevelEdits[slot])), L"1");
    EXPECT_FALSE(GetWindowLongW(C(kLevelEdits[slot]), GWL_STYLE) & ES_NUMBER) << "any typing is accepted";
  }
  EXPECT_EQ(SendMessageW(C(CheckBox1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(IsWindowEnabled(C(CheckBox1)));
  EXPECT_FALSE(GetWindowLongW(C(StatusBar1), GWL_STYLE) & SBARS_SIZEGRIP);
  int parts[3] = {};
  ASSERT_EQ(SendMessageW(C(StatusBar1), SB_GETPARTS, 3, reinterpret_cast<LPARAM>(parts)), 2);
  EXPECT_EQ(parts[0], 200);
  EXPECT_EQ(parts[1], -1);
}

TEST_F(Form1Layout, DisabledCheckBoxIgnoresClicks) {
  // A real click through the system's input, which never reaches a disabled window.
  RECT r{};
  GetWindowRect(C(CheckBox1), &r);
  SetCursorPos(r.left + 6, r.top + 8);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, clicks, sizeof(INPUT));
  Pump(100);
  EXPECT_EQ(SendMessageW(C(CheckBox1), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Form1Layout, ScalesWithTheMonitorDpi) {
  std::vector<RECT> at96;
  for (const auto& c : kForm1Layout) at96.push_back(RectInParent(C(c.id)));
  const bool clockShown = !PanelText(C(StatusBar1), 1).empty();  // its first tick may shrink the font
  RECT suggested{0, 0, 600, 500};
  SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  for (std::size_t i = 0; i < kForm1Layout.size(); ++i) {
    const RECT& r = at96[i];
    RECT want{MulDiv(r.left, 144, 96), MulDiv(r.top, 144, 96), MulDiv(r.right, 144, 96),
              MulDiv(r.bottom, 144, 96)};
    RECT now = RectInParent(C(kForm1Layout[i].id));
    EXPECT_TRUE(EqualRect(&now, &want)) << kForm1Layout[i].name << " " << Describe(now);
  }
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(Label1), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfHeight, -24);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(StatusBar1), WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_TRUE(clockShown || font.lfHeight == MulDiv(metrics.lfStatusFont.lfHeight, 144, 96))
      << "the system's status font, scaled from Wine's 96 DPI: " << font.lfHeight;
}

TEST_F(Form1Layout, LogoDecodesAndBadPicturesAreRefused) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(10));
  ASSERT_NE(info, nullptr);
  auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, info)));
  DWORD size = SizeofResource(nullptr, info);
  DecodedImage image;
  ASSERT_TRUE(DecodeJpeg(bytes, size, image));
  EXPECT_EQ(image.width, 100);
  EXPECT_EQ(image.height, 100);
  EXPECT_FALSE(DecodeJpeg(bytes, size / 2, image)) << "truncated";
  const std::uint8_t garbage[] = {0xFF, 0xD8, 0x00, 0x13, 0x37};
  EXPECT_FALSE(DecodeJpeg(garbage, sizeof garbage, image));
  EXPECT_FALSE(DecodeJpeg(bytes, 0, image));
}

TEST_F(Form1Keyboard, TabVisitsTheButtonsAndBoxesInOrderStartingAtOpen) {
  SetActiveWindow(Main());
  SendMessageW(Main(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(GetFocus(), C(BitBtn1));
  const ControlId kOrder[] = {BitBtn1, BitBtn2, Edit1, Edit2, Edit3, Edit4, BitBtn3, BitBtn1};
  HWND at = C(BitBtn1);
  for (std::size_t i = 1; i < std::size(kOrder); ++i) {
    at = GetNextDlgTabItem(Main(), at, FALSE);
    EXPECT_EQ(at, C(kOrder[i])) << "step " << i;
  }
  // The controls that hold a place in the Tab order, as the window keeps them (its z-order).
  const ControlId kPlaces[] = {BitBtn1, BitBtn2, StatusBar1, UpDown1, Edit1,   Edit2,    Edit3,
                               Edit4,   UpDown2, UpDown3,    UpDown4, BitBtn3, CheckBox1};
  std::vector<HWND> walked;
  for (HWND child = GetWindow(Main(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (std::find_if(std::begin(kPlaces), std::end(kPlaces), [&](ControlId id) { return C(id) == child; }) !=
        std::end(kPlaces))
      walked.push_back(child);
  }
  ASSERT_EQ(walked.size(), std::size(kPlaces));
  for (std::size_t i = 0; i < walked.size(); ++i) EXPECT_EQ(walked[i], C(kPlaces[i])) << "place " << i;
  // Each label comes just before its box, which is how screen readers name the box.
  for (int slot = 0; slot < 4; ++slot) {
    EXPECT_EQ(GetWindow(C(kLevelEdits[slot]), GW_HWNDPREV), C(static_cast<ControlId>(Label1 + slot)));
  }
}

TEST_F(Form1Keyboard, TabMovesEnterPressesTheFocusedButtonOnlyAndEscDoesNothing) {
  // Through the queue and the program's loop, as a key press comes.
  auto key = [&](HWND target, UINT vk) {
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    Pump(0, Main());
  };
  SetFocus(C(Edit1));
  key(C(Edit1), VK_RETURN);
  key(C(Edit1), VK_ESCAPE);
  EXPECT_TRUE(IsWindow(Main()));
  SetFocus(C(BitBtn1));
  key(C(BitBtn1), VK_ESCAPE);
  EXPECT_TRUE(IsWindow(Main()));

  key(C(BitBtn1), VK_TAB);
  EXPECT_EQ(GetFocus(), C(BitBtn2));

  SetFocus(C(BitBtn3));
  key(C(BitBtn3), VK_RETURN);
  EXPECT_EQ(form_.Handle(), nullptr) << "Enter on Exit closes the window";
  EXPECT_TRUE(TakeQuitMessage());
}
