// Open and Save as a user drives them: the real open dialog, spin boxes and error box.
#include <winternl.h>

#include <optional>
#include <thread>

#include "record/win32_file_calls.h"
#include "tests/record_test_support.h"
#include "tests/window_test_support.h"
#include "ui/message_text.h"
#include "ui/save_rule.h"

namespace {

Bytes RecordWith(const VolumeLevels& levels) { return WithLevels(Pattern(kRecordSize, 3), levels); }

class Form1Commands : public Form1Test {
 protected:
  void SetUp() override {
    Form1Test::SetUp();
    static int counter = 0;
    dir_ = fs::temp_directory_path() / (L"velmora-commands-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                        std::to_wstring(++counter));
    fs::create_directories(dir_);
    file_ = dir_ / L"audio_cfg.db";
  }
  void TearDown() override {
    if (fs::exists(file_)) SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    Form1Test::TearDown();
  }

  // Open through the dialog; returns what the dialog showed.
  SeenDialog Open(const fs::path& path, std::vector<DialogScript::Step> after = {}) {
    std::vector<DialogScript::Step> steps{DialogScript::OpenWith(path.wstring())};
    steps.insert(steps.end(), after.begin(), after.end());
    DialogScript script(steps);
    Click(BitBtn1);
    EXPECT_EQ(script.Seen().size(), steps.size());
    seen_ = script.Seen();
    return seen_.empty() ? SeenDialog{} : seen_[0];
  }

  std::vector<SeenDialog> Save(std::vector<DialogScript::Step> steps = {}) {
    DialogScript script(steps);
    Click(BitBtn2);
    EXPECT_EQ(script.Seen().size(), steps.size());
    return script.Seen();
  }

  std::array<std::wstring, 4> Shown() const {
    return {TextOf(C(Edit1)), TextOf(C(Edit2)), TextOf(C(Edit3)), TextOf(C(Edit4))};
  }
  std::wstring Status() const { return PanelText(C(StatusBar1), 0); }
  std::wstring StatusTip() const {
    wchar_t text[1024] = {};
    TTTOOLINFOW tool{sizeof tool, 0, C(StatusBar1), 0, {}, nullptr, text, 0, nullptr};
    SendMessageW(form_.StatusTipWindow(), TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    return text;
  }

  fs::path dir_;
  fs::path file_;
  std::vector<SeenDialog> seen_;
};

using Shown4 = std::array<std::wstring, 4>;

// Bytes in use on the process heap, where the system keeps what a handle stands for.
std::size_t HeapInUse() {
  std::size_t used = 0;
  PROCESS_HEAP_ENTRY entry{};
  HeapLock(GetProcessHeap());
  while (HeapWalk(GetProcessHeap(), &entry))
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += entry.cbData;
  HeapUnlock(GetProcessHeap());
  return used;
}

// GDI objects: Wine answers GetGuiResources with 0, but lists its objects in the table the
// process block points to (24-byte entries, the type at byte 14).
std::size_t GdiObjects() {
  if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
  static const auto query = reinterpret_cast<decltype(&NtQueryInformationProcess)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION process{};
  query(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr);
  auto* table = *reinterpret_cast<const std::uint8_t* const*>(
      reinterpret_cast<const char*>(process.PebBaseAddress) + 0x94);
  std::size_t count = 0;
  for (int i = 0; i < 0x4000; ++i) count += table[i * 24 + 14] != 0;
  return count;
}

// Message boxes show the system's shared icons, so the handles compare.
HICON InformationIcon() { return LoadIconW(nullptr, IDI_INFORMATION); }
HICON StopIcon() { return LoadIconW(nullptr, IDI_ERROR); }

}  // namespace

TEST_F(Form1Commands, CancelOnTheFirstOpenChangesNothingButTheStatus) {
  DialogScript script({DialogScript::Cancel()});
  Click(BitBtn1);
  ASSERT_EQ(script.Seen().size(), 1u);
  const SeenDialog& dialog = script.Seen()[0];
  EXPECT_EQ(dialog.caption, L"Velmora");
  EXPECT_EQ(dialog.text, L"") << "nothing to pre-fill yet";
  EXPECT_EQ(dialog.owner, Main());
  EXPECT_EQ(Status(), L"File not found!");
  EXPECT_EQ(Shown(), (Shown4{L"1", L"1", L"1", L"1"}));
}

TEST_F(Form1Commands, OpenDialogIsPlacedOnTheWindowsMonitor) {
  DialogScript script({DialogScript::Later(DialogScript::Cancel())});
  Click(BitBtn1);
  ASSERT_EQ(script.Seen().size(), 1u);
  const RECT& r = script.Seen()[0].rect;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(Main(), MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& m = monitor.rcMonitor;
  int width = r.right - r.left, height = r.bottom - r.top;
  EXPECT_EQ(r.left, m.left + (m.right - m.left - width) / 2);
  EXPECT_EQ(r.top, m.top + (m.bottom - m.top - height) / 3);
}

TEST_F(Form1Commands, OpenShowsTheLevelsClampedToTheSpinRange) {
  SetWindowTextW(C(Edit1), L"3");  // typed before the open: the loaded value replaces it
  WriteBytes(file_, RecordWith({6, 1, 3, 2}));
  EXPECT_EQ(StatusTip(), L"") << "no path before a file is chosen";
  Open(file_);
  EXPECT_EQ(Shown(), (Shown4{L"6", L"1", L"3", L"2"}));
  EXPECT_EQ(Status(), L"File opened!");
  EXPECT_EQ(StatusTip(), file_.wstring()) << "the full path, on the status message";

  WriteBytes(file_, RecordWith({0, 7, 255, 1}));
  Open(file_);
  EXPECT_EQ(Shown(), (Shown4{L"1", L"6", L"6", L"1"}));
  EXPECT_EQ(SendMessageW(C(UpDown3), UDM_GETPOS32, 0, 0), 6);
}

TEST_F(Form1Commands, UpTwiceThenSaveWritesTheFileAndItsBackup) {
  Bytes original = RecordWith({2, 5, 1, 6});
  WriteBytes(file_, original);
  Open(file_);
  for (int i = 0; i < 2; ++i) SendMessageW(C(Edit1), WM_KEYDOWN, VK_UP, 1);
  ASSERT_EQ(TextOf(C(Edit1)), L"4");
  Save();
  Bytes expected = original;
  expected[397] = 4;
  EXPECT_EQ(ReadBytes(file_), expected);
  EXPECT_EQ(ReadBytes(fs::path(file_.wstring() + L".bak")), original);
  EXPECT_EQ(Status(), L"File opened!") << "Save shows no status";
}

TEST_F(Form1Commands, TextThatIsNotALevelSavesThePreviousValue) {
  WriteBytes(file_, RecordWith({2, 3, 4, 5}));
  Open(file_);
  SetWindowTextW(C(Edit1), L"abc");
  SetWindowTextW(C(Edit2), L"");
  SetWindowTextW(C(Edit3), L"9");
  SetWindowTextW(C(Edit4), L"6");
  Save();
  Bytes saved = ReadBytes(file_);
  EXPECT_EQ(saved[397], 2);
  EXPECT_EQ(saved[409], 3);
  EXPECT_EQ(saved[433], 4);
  EXPECT_EQ(saved[889], 6);
  EXPECT_EQ(Shown(), (Shown4{L"2", L"3", L"4", L"6"})) << "the boxes show what was saved";
}

TEST_F(Form1Commands, SecondOpenIsPrefilledWithTheFirstPath) {
  WriteBytes(file_, RecordWith({4, 4, 4, 4}));
  Open(file_);
  DialogScript script({DialogScript::Later(DialogScript::Cancel())});
  Click(BitBtn1);
  ASSERT_EQ(script.Seen().size(), 1u);
  // The dialog opens in the file's folder with its name in the box.
  EXPECT_EQ(script.Seen()[0].text, file_.filename().wstring());
  EXPECT_EQ(script.Seen()[0].folder, dir_.wstring());
  EXPECT_EQ(Status(), L"File not found!");
  EXPECT_EQ(Shown(), (Shown4{L"4", L"4", L"4", L"4"}));
}

TEST_F(Form1Commands, ReadOnlyFileIsRefusedAfterTheBackupIsWritten) {
  Bytes original = RecordWith({1, 2, 3, 4});
  WriteBytes(file_, original);
  Open(file_);
  ASSERT_TRUE(SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_READONLY));
  SendMessageW(C(Edit4), WM_KEYDOWN, VK_UP, 1);
  // A second click queued while the box shows does nothing: no save inside the box, no second box.
  auto boxes = Save({[&](HWND box, SeenDialog&) {
    PostMessageW(C(BitBtn2), BM_CLICK, 0, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"File access denied.");
  EXPECT_EQ(ReadBytes(file_), original);
  EXPECT_EQ(ReadBytes(fs::path(file_.wstring() + L".bak")), original);
}

TEST_F(Form1Commands, AFailedOpenShowsTheErrorKeepsTheWindowAndSaveWaitsForAGoodOpen) {
  // A save with no path would name ".bak" in the current folder: make that folder the test's own.
  fs::path cwd = fs::current_path();
  fs::current_path(dir_);
  auto boxes = Save({DialogScript::Press(IDOK)});
  fs::current_path(cwd);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, WidenUtf8(SaveRefusalText(SaveRefusal::NothingOpened)));
  EXPECT_EQ(boxes[0].caption, L"Velmora");
  EXPECT_EQ(boxes[0].icon, InformationIcon()) << "guidance, not an error";
  EXPECT_FALSE(fs::exists(dir_ / L".bak"));

  Open(file_, {DialogScript::Press(IDOK)});  // not there yet
  EXPECT_NE(StatusTip().find(L"No file"), std::wstring::npos) << testing::PrintToString(StatusTip());
  Bytes good = RecordWith({3, 3, 3, 3});
  WriteBytes(file_, good);
  Open(file_);
  SetWindowTextW(C(Edit2), L"5");
  const struct {
    const wchar_t* name;
    std::optional<Bytes> bytes;  // none: nothing is there
    const wchar_t* says;         // what the box's text holds
  } kFailures[] = {
      {L"missing", std::nullopt, L"File not found."},
      {L"empty", Bytes{}, L"empty"},
      {L"short", Bytes(100, 1), L"short"},
  };
  for (const auto& failure : kFailures) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(failure.name)));
    fs::path chosen = dir_ / failure.name / L"audio_cfg.db";
    fs::create_directories(chosen.parent_path());
    if (failure.bytes) WriteBytes(chosen, *failure.bytes);
    Open(chosen, {DialogScript::Press(IDOK)});
    ASSERT_EQ(seen_.size(), 2u);
    const SeenDialog& box = seen_[1];
    ASSERT_FALSE(box.text.empty());
    EXPECT_NE(box.text.find(failure.says), std::wstring::npos) << testing::PrintToString(box.text);
    EXPECT_EQ(box.text.back(), L'.');
    EXPECT_EQ(box.caption, L"Velmora");
    EXPECT_EQ(box.icon, StopIcon());
    EXPECT_EQ(box.owner, Main());
    EXPECT_FALSE(box.ownerEnabled) << "the window is disabled while the box shows";
    EXPECT_TRUE(IsWindowEnabled(Main()));
    EXPECT_EQ(Status(), L"File opened!");
    EXPECT_EQ(Shown(), (Shown4{L"3", L"5", L"3", L"3"}));
    const std::wstring tip = StatusTip();  // the file not opened, then the one whose levels show
    EXPECT_LT(tip.find(chosen.wstring()), tip.find(file_.wstring())) << testing::PrintToString(tip);
    EXPECT_NE(tip.find(file_.wstring()), std::wstring::npos) << testing::PrintToString(tip);

    // The path now names a file whose record was never read: Save refuses and writes nothing.
    boxes = Save({DialogScript::Press(IDOK)});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, WidenUtf8(SaveRefusalText(SaveRefusal::OpenFailed)));
    EXPECT_EQ(boxes[0].icon, InformationIcon());
    EXPECT_EQ(fs::exists(chosen), failure.bytes.has_value());
    if (failure.bytes) {
      EXPECT_EQ(ReadBytes(chosen), *failure.bytes);
    }
    EXPECT_FALSE(fs::exists(fs::path(chosen.wstring() + L".bak")));
    EXPECT_EQ(ReadBytes(file_), good);
  }

  // A good Open makes Save work again.
  Open(file_);
  EXPECT_EQ(StatusTip(), file_.wstring());
  Save();
  EXPECT_TRUE(fs::exists(fs::path(file_.wstring() + L".bak")));
}

namespace {

// A slow card: its writes wait until the user has clicked and pressed a key, however long the
// machine takes to deliver them.
HANDLE g_writing = nullptr, g_userActed = nullptr;
decltype(&::WriteFile) g_realWriteFile = nullptr;
BOOL WINAPI SlowWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  SetEvent(g_writing);
  WaitForSingleObject(g_userActed, 60000);
  return g_realWriteFile(file, data, size, written, overlapped);
}

void SendInputs(std::initializer_list<INPUT> inputs) {
  for (INPUT input : inputs) {
    SendInput(1, &input, sizeof input);
    Sleep(30);
  }
}

}  // namespace

TEST_F(Form1Commands, ClicksAndKeysThatArriveWhileASaveRunsAreDropped) {
  Bytes original = RecordWith({2, 5, 1, 6});
  WriteBytes(file_, original);
  Open(file_);
  SendMessageW(C(Edit1), WM_KEYDOWN, VK_UP, 1);
  SetForegroundWindow(Main());
  RECT save{};
  GetWindowRect(C(BitBtn2), &save);
  SetCursorPos((save.left + save.right) / 2, (save.top + save.bottom) / 2);
  Pump(50);

  g_writing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_userActed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_realWriteFile = std::exchange(FileCalls().WriteFile, SlowWriteFile);
  // While the save holds the window's thread, the user clicks Save again and presses F1.
  std::thread user([] {
    WaitForSingleObject(g_writing, 60000);
    INPUT down{}, up{}, f1{}, f1Up{};
    down.type = up.type = INPUT_MOUSE;
    f1.type = f1Up.type = INPUT_KEYBOARD;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    f1.ki.wVk = f1Up.ki.wVk = VK_F1;
    f1Up.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInputs({down, up, f1, f1Up});
    SetEvent(g_userActed);
  });
  DialogScript noBox({});  // About, or a second save's box, would be a dialog
  Click(BitBtn2);
  user.join();
  FileCalls().WriteFile = g_realWriteFile;
  CloseHandle(g_writing);
  CloseHandle(g_userActed);
  Pump(500, Main());

  EXPECT_TRUE(noBox.Seen().empty()) << "F1 came while the save ran: no About afterwards";
  EXPECT_EQ(ReadBytes(fs::path(file_.wstring() + L".bak"))[397], 2) << "one save, not two";
  EXPECT_EQ(ReadBytes(file_)[397], 3);
}

// The path shows while the pointer rests on the status message, not on the clock, and its
// ampersands show as they are: the tip is as wide as the whole path in the tip's own font.
TEST_F(Form1Commands, PathTipShowsOverTheStatusMessageOnlyAmpersandsAndAll) {
  fs::path file = dir_ / L"A&&&&&&&&B" / L"audio_cfg.db";
  fs::create_directories(file.parent_path());
  WriteBytes(file, RecordWith({1, 2, 3, 4}));
  Open(file);
  HWND tip = form_.StatusTipWindow();
  auto restOn = [&](int part, bool shows) {
    RECT r = StatusBarPartRect(C(StatusBar1), part);
    POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(C(StatusBar1), &at);
    SetCursorPos(at.x, at.y);
    INPUT still{};
    still.type = INPUT_MOUSE;
    still.mi.dwFlags = MOUSEEVENTF_MOVE;  // the pointer arrives there as a move
    SendInput(1, &still, sizeof still);
    if (shows) return PumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, 60000, Main());
    Pump(1000, Main());  // longer than the tip's half-second wait
    return IsWindowVisible(tip) != FALSE;
  };
  EXPECT_FALSE(restOn(1, false)) << "over the clock";
  ASSERT_TRUE(restOn(0, true)) << "over the status message";

  RECT text{};
  HDC dc = GetDC(tip);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)));
  std::wstring path = file.wstring();
  DrawTextW(dc, path.c_str(), static_cast<int>(path.size()), &text,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(tip, dc);
  RECT shown{};
  GetClientRect(tip, &shown);
  EXPECT_GE(shown.right, text.right) << "eight ampersands, not four";
}

// A save with its backup gone lists the folder, and every paint selects fonts and bitmaps: a
// hundred of each, at two DPIs, leave no GDI object or heap block behind; at 144 DPI the path
// still shows over the whole status message.
TEST_F(Form1Commands, SavesRepaintsAndDpiChangesLeaveNothingBehindAndMoveThePathTip) {
  WriteBytes(file_, RecordWith({1, 2, 3, 4}));
  Open(file_);
  auto round = [&](int i) {
    fs::remove(file_.wstring() + L".bak");
    Save();
    if (i % 10 == 0) ChangeDpi(Main(), i % 20 ? 144 : 96);
    RedrawWindow(Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
  };
  for (int i = 0; i < 20; ++i) round(i);  // caches filled
  const std::size_t objects = GdiObjects(), heap = HeapInUse();
  for (int i = 0; i < 100; ++i) round(i);  // ending at 144 DPI
  EXPECT_EQ(GdiObjects(), objects);
  // Wine's find handle is heap memory, its folder closed at the last name: 8 KB a round if lost.
  EXPECT_LT(HeapInUse(), heap + 100 * 1024);

  TTTOOLINFOW tool{sizeof tool, 0, C(StatusBar1), 0, {}, nullptr, nullptr, 0, nullptr};
  ASSERT_TRUE(SendMessageW(form_.StatusTipWindow(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
  RECT part{};
  SendMessageW(C(StatusBar1), SB_GETRECT, 0, reinterpret_cast<LPARAM>(&part));
  EXPECT_TRUE(EqualRect(&tool.rect, &part));
}
