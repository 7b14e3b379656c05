#pragma once
// The window's commands run one at a time: a click that arrives while one runs, or while its
// box shows, does nothing, and the input that came while a command held the window's thread is
// dropped at its end instead of being run afterwards.
#include <windows.h>

#include <string_view>

class CommandGate {
 public:
  CommandGate() = default;
  CommandGate(const CommandGate&) = delete;
  CommandGate& operator=(const CommandGate&) = delete;

  // Runs command unless one is running already.
  template <typename Command>
  void Run(Command&& command) {
    if (running_) return;
    const Scope scope(*this);
    command();
  }
  // A failed command's message in the error box, which belongs to the command that failed.
  void ShowFailure(std::string_view message);
  // A box or dialog the running command showed has closed: the command holds the thread again
  // from now.
  void BoxClosed();

 private:
  class Scope {
   public:
    explicit Scope(CommandGate& gate);
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

   private:
    CommandGate& gate_;
    bool was_;
  };

  bool running_ = false;
  DWORD heldSince_ = 0;  // input from this time on came while the command held the thread
};
