// Open and Save under strain: input while a slow save runs, a long path's tip, and a hundred
// saves, repaints and DPI changes that must leave nothing behind.
#include <winternl.h>

#include <thread>

#include "record/win32_file_calls.h"
#include "tests/window_command_support.h"

namespace {

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
