// Open and Save as a user drives them: the real open dialog, spin boxes and error box.
#include <optional>

#include "tests/window_command_support.h"
#include "ui/message_text.h"
#include "ui/save_rule.h"

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
