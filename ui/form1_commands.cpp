// The main window's commands: Open, Save, Exit and About, the status message and the clock's
// tick; one command at a time, and a failure shown once, at the top.
#include <utility>

#include "record/record_file.h"
#include "ui/form1.h"
#include "ui/message_boxes.h"
#include "ui/message_text.h"

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

// Takes off the queue, unseen, the keyboard and mouse input that came from a time on. Each kind
// of input is in the order it came, so it goes from the first that came at or after that time.
void DropInputSince(DWORD since) {
  // Taking an F1 key press off the queue posts this (WM_KEYF1, which XP's headers do not name);
  // it would become WM_HELP. So it goes after the keys.
  constexpr UINT kKeyF1 = 0x004D;
  struct Range {
    UINT first, last;
  };
  constexpr Range kInput[] = {{WM_KEYFIRST, WM_KEYLAST},
                              {kKeyF1, kKeyF1},
                              {WM_MOUSEFIRST, WM_MOUSELAST},
                              {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
  MSG msg;
  for (const Range& range : kInput) {
    while (PeekMessageW(&msg, nullptr, range.first, range.last, PM_NOREMOVE) && msg.message != WM_QUIT &&
           static_cast<LONG>(msg.time - since) >= 0) {
      // Whatever the filter, a quit message comes out too: it is put back for the loop.
      if (!PeekMessageW(&msg, nullptr, msg.message, msg.message, PM_REMOVE)) break;
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
    }
  }
}

// One command for one scope: the flag says one runs, and the clicks and keys that came while it
// held the window's thread (a save on a slow card) are dropped at its end instead of being run
// afterwards, one more save for each. The thread is held from the input that started the
// command, and again from the moment a box it showed closed; what came while the box showed
// went to the box, and what came after it was closed, quicker than the box went, is the user's
// next command and runs.
class CommandScope {
 public:
  CommandScope(bool& running, DWORD& heldSince)
      : running_(running), heldSince_(heldSince), was_(std::exchange(running, true)) {
    heldSince = static_cast<DWORD>(GetMessageTime());
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;
  ~CommandScope() {
    DropInputSince(heldSince_);
    running_ = was_;
  }

 private:
  bool& running_;
  DWORD& heldSince_;
  bool was_;
};

}  // namespace

void TForm1::RunClickHandler(ControlId id) {
  for (const auto& binding : kClickHandlers) {
    if (binding.control == id) RunCommand(binding.handler);
  }
}

void TForm1::RunCommand(void (TForm1::*handler)()) {
  // A click queued behind a running command, or behind its box, would otherwise run inside that
  // box's modal loop: every failing save stacking one more box.
  if (commandRunning_) return;
  CommandScope command(commandRunning_, heldSince_);
  (this->*handler)();
}

LRESULT TForm1::OnEnable(bool enabled) {
  // Every box and dialog a command shows disables the window while it shows. Input stamped in the
  // tick it closed came before the command went on.
  if (enabled && commandRunning_) heldSince_ = GetTickCount() + 1;
  return 0;
}

void TForm1::ShowFailure(const char* message) {
  CommandScope command(commandRunning_, heldSince_);  // the box belongs to the command that failed
  ShowErrorBox(message);
}

void TForm1::SetStatusMessage(const std::wstring& text) { Bar().SetPartText(0, text); }

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
  SetPathTip(PathTipText(openedPath_, OpenDialog1.FileName()));
  saveRule_.Open([this] { LoadRecord(record_, OpenDialog1.FileName()); });
  openedPath_ = OpenDialog1.FileName();
  SetPathTip(openedPath_);
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
