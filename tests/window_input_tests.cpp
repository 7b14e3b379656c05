// The window as a user meets it through the real input devices and the screen: the spin arrows
// and keys, typing, Enter held, clicks after a box, F1, the path's tip.
#include "tests/record_test_support.h"
#include "tests/window_test_support.h"

namespace {

// A key pressed and released at a person's pace, the program's loop running in between.
void PressKey(HWND main, WORD vk) {
  INPUT key{};
  key.type = INPUT_KEYBOARD;
  key.ki.wVk = vk;
  SendInput(1, &key, sizeof key);
  Pump(120, main);
  key.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &key, sizeof key);
}

void ClickAt(HWND main, POINT screen) {
  SetCursorPos(screen.x, screen.y);
  INPUT click{};
  click.type = INPUT_MOUSE;
  click.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &click, sizeof click);
  Pump(120, main);
  click.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &click, sizeof click);
}

// Stops at a balloon tip on the screen.
BOOL CALLBACK NotABalloon(HWND window, LPARAM) {
  return !IsWindowVisible(window) || !(GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON) ||
         ClassOf(window) != TOOLTIPS_CLASSW;
}

class Form1Input : public Form1Test {
 protected:
  void Pump(DWORD milliseconds) { ::Pump(milliseconds, Main()); }
  void SetUp() override {
    Form1Test::SetUp();
    SetForegroundWindow(Main());
    Pump(50);
  }
  // A point on an up-down control's upper or lower arrow, in screen coordinates.
  POINT Arrow(ControlId upDown, bool up) const {
    RECT r{};
    GetWindowRect(C(upDown), &r);
    int quarter = (r.bottom - r.top) / 4;
    return {(r.left + r.right) / 2, up ? r.top + quarter : r.bottom - 1 - quarter};
  }
  std::wstring Text(ControlId id) const { return TextOf(C(id)); }
  // Waits until the box shows text: input takes its time on a busy machine.
  bool Shows(ControlId id, const wchar_t* text) const {
    return PumpUntil([&] { return Text(id) == text; });
  }
};

}  // namespace

TEST_F(Form1Input, AfterAnArrowClickTheKeysStepExactlyOnceInThatRow) {
  SetWindowTextW(C(Edit2), L"5");
  ClickAt(Main(), Arrow(UpDown2, false));
  EXPECT_TRUE(Shows(Edit2, L"4"));
  EXPECT_EQ(SendMessageW(C(UpDown2), UDM_GETPOS32, 0, 0), 4) << "the arrow moved the control once";
  EXPECT_EQ(GetFocus(), C(Edit2)) << "the click puts the focus in its row's box";
  PressKey(Main(), VK_DOWN);
  EXPECT_TRUE(Shows(Edit2, L"3"));
  Pump(100);  // a second step would come in this time; waiting longer can only let it pass
  EXPECT_EQ(Text(Edit2), L"3") << "one key press, one step";

  ClickAt(Main(), Arrow(UpDown2, true));
  EXPECT_TRUE(Shows(Edit2, L"4"));
  EXPECT_EQ(SendMessageW(C(UpDown2), UDM_GETPOS32, 0, 0), 4);
  PressKey(Main(), VK_UP);
  EXPECT_TRUE(Shows(Edit2, L"5"));

  // Another row's arrow takes the keys with it.
  ClickAt(Main(), Arrow(UpDown4, true));
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == C(Edit4); }));
  PressKey(Main(), VK_UP);
  EXPECT_TRUE(Shows(Edit4, L"3"));
  EXPECT_EQ(Text(Edit2), L"5");
  EXPECT_EQ(SendMessageW(C(UpDown4), UDM_GETPOS32, 0, 0), 3) << "the control shows the form's value";
}

TEST_F(Form1Input, ArrowsStepFromTheLastValidValueWhenTheTextDoesNotCount) {
  SetWindowTextW(C(Edit1), L"4");
  SetWindowTextW(C(Edit1), L" 6");  // the up-down's own parser would read 6
  ClickAt(Main(), Arrow(UpDown1, true));
  EXPECT_TRUE(Shows(Edit1, L"5"));
  SetWindowTextW(C(Edit1), L"x");
  SetFocus(C(Edit1));
  PressKey(Main(), VK_DOWN);
  EXPECT_TRUE(Shows(Edit1, L"4"));
}

TEST_F(Form1Input, ADigitTypedAfterAClickInEitherHalfOfABoxIsSavedByOnePressOfEnterHeld) {
  const fs::path file = fs::temp_directory_path() / L"velmora-input" / L"audio_cfg.db";
  fs::create_directories(file.parent_path());
  WriteBytes(file, WithLevels(Pattern(kRecordSize, 3), {2, 2, 2, 2}));
  DialogScript open({DialogScript::OpenWith(file.wstring())});
  Click(BitBtn1);
  RECT box{};
  GetWindowRect(C(Edit1), &box);
  const int quarter = (box.right - box.left) / 4, y = (box.top + box.bottom) / 2;
  for (auto [x, digit] : {std::pair{box.left + quarter, '4'}, {box.right - quarter, '5'}}) {
    ClickAt(Main(), {x, y});
    PressKey(Main(), digit);
    EXPECT_TRUE(PumpUntil([&] { return Text(Edit1) == std::wstring(1, digit); }));
    SetFocus(C(BitBtn2));  // Enter held on Save: each repeat comes after the save before is over
    for (LPARAM repeat : {0L, 1L << 30, 1L << 30}) {
      PostMessageW(C(BitBtn2), WM_KEYDOWN, VK_RETURN, 1 | repeat);
      Pump(0);
    }
    EXPECT_EQ(ReadBytes(file)[397], digit - '0');
  }
  EXPECT_EQ(ReadBytes(fs::path(file) += L".bak")[397], 4) << "more saves than presses";
  ClickAt(Main(), {box.left + quarter, y});  // text that does not count says so at once
  PressKey(Main(), 'X');
  EXPECT_TRUE(PumpUntil([] { return !EnumThreadWindows(GetCurrentThreadId(), NotABalloon, 0); }));
  fs::remove_all(file.parent_path());
}

TEST_F(Form1Input, AClickMadeAsABoxClosesRunsAfterIt) {
  // Esc on About and a click on it again at once: both wait in the queue while the box goes.
  DialogScript script({[&](HWND box, SeenDialog&) {
                         PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                         PostMessageW(C(SpeedButton1), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
                         PostMessageW(C(SpeedButton1), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
                       },
                       DialogScript::Press(IDOK)});
  Click(SpeedButton1);
  EXPECT_TRUE(PumpUntil([&] { return script.Seen().size() == 2; }));
}

TEST_F(Form1Input, TheTipOfALongPathLiesOnTheScreenWhole) {
  std::wstring path = L"C:\\";  // wide letters, and no longer than Wine's open dialog takes
  while (path.size() < 236) path += L"MWMWMWMWMWMWMWMWMW\\";
  DialogScript script({DialogScript::OpenWith(path + L"audio_cfg.db"), DialogScript::Press(IDOK)});
  Click(BitBtn1);  // fails: the tip says which file could not be opened
  RECT bar{}, shown{}, inside{};
  GetWindowRect(C(StatusBar1), &bar);
  SetCursorPos(bar.left + 20, (bar.top + bar.bottom) / 2);  // on the status message
  mouse_event(MOUSEEVENTF_MOVE, 1, 0, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(form_.StatusTipWindow()) != FALSE; }));
  GetWindowRect(form_.StatusTipWindow(), &shown);
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  IntersectRect(&inside, &shown, &screen);
  EXPECT_TRUE(EqualRect(&inside, &shown));
}

TEST_F(Form1Input, FocusComesBackWhereItWasAfterSwitchingAway) {
  SetFocus(C(Edit3));
  HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               nullptr, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() != C(Edit3); }));
  SetForegroundWindow(Main());
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == C(Edit3); }));
  DestroyWindow(other);
}

TEST_F(Form1Input, F1ShowsAboutWhereverTheFocusIs) {
  for (ControlId at : {Edit3, BitBtn2}) {
    SCOPED_TRACE(LayoutOf(at).name);
    SetFocus(C(at));
    DialogScript script({DialogScript::Press(IDOK)});
    PressKey(Main(), VK_F1);
    PumpUntil([&] { return !script.Seen().empty(); });
    ASSERT_EQ(script.Seen().size(), 1u);
    EXPECT_EQ(script.Seen()[0].caption, L"Velmora");
    EXPECT_EQ(script.Seen()[0].text.find(L"Velmora"), 0u);
    Pump(50);
    EXPECT_EQ(script.Seen().size(), 1u) << "one box for one key press";
  }
  EXPECT_FALSE(GetWindowLongW(C(SpeedButton1), GWL_STYLE) & WS_TABSTOP) << "the button still takes no focus";
}
