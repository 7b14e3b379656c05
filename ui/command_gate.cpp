#include "ui/command_gate.h"

#include <windows.h>

#include <utility>

#include "ui/message_boxes.h"

namespace {

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

}  // namespace

// The clicks and keys that came while a command held the window's thread (a save on a slow card)
// would otherwise run afterwards, one more save for each. The thread is held from the input that
// started the command, and again from the moment a box it showed closed; what came while the box
// showed went to the box, and what came after it was closed, quicker than the box went, is the
// user's next command and runs.
CommandGate::Scope::Scope(CommandGate& gate) : gate_(gate), was_(std::exchange(gate.running_, true)) {
  gate.heldSince_ = static_cast<DWORD>(GetMessageTime());
}

CommandGate::Scope::~Scope() {
  DropInputSince(gate_.heldSince_);
  gate_.running_ = was_;
}

// Input stamped in the tick the box closed came before the command went on.
void CommandGate::BoxClosed() {
  if (running_) heldSince_ = GetTickCount() + 1;
}

void CommandGate::ShowFailure(std::string_view message) {
  const Scope scope(*this);
  ShowErrorBox(message);
}
