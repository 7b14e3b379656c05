#include "ui/command_gate.h"

#include <windows.h>

#include <utility>

#include "ui/message_boxes.h"

namespace {

// Takes the keyboard and mouse input queued for this thread's windows off the queue unseen.
void DropQueuedInput() {
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
    while (PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE)) {
      // Whatever the range, a quit message comes out too: it is put back for the loop.
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
    }
  }
}

}  // namespace

// The clicks and keys that came while a command held the window's thread (a save on a slow card,
// its box) would otherwise run afterwards, one more save for each.
CommandGate::Scope::Scope(CommandGate& gate) : gate_(gate), was_(std::exchange(gate.running_, true)) {}

CommandGate::Scope::~Scope() {
  DropQueuedInput();
  gate_.running_ = was_;
}

void CommandGate::ShowFailure(std::string_view message) {
  const Scope scope(*this);
  ShowErrorBox(message);
}
