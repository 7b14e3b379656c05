// What the program does when the C++ run-time gives up (an exception nothing catches, or one thrown
// through noexcept). It takes the place of libstdc++'s default handler, which would print the
// exception's demangled type to a console this windowed program does not have, and so would link in
// the demangler and printf (74 KB) for a message nobody sees.
#include <windows.h>

#include "ui/app_title.h"

namespace __gnu_cxx {

// The name libstdc++'s std::terminate and std::set_terminate(nullptr) use for the default handler.
void __verbose_terminate_handler() {
  static LONG entered;
  // A second failure while the box is up ends the program at once.
  if (InterlockedExchange(&entered, 1) == 0) {
    MessageBoxW(nullptr, L"Velmora has met an internal error and must close.", kAppTitle,
                MB_OK | MB_ICONSTOP | MB_TASKMODAL | MB_SETFOREGROUND);
  }
  // As abort() ends it, with exit code 3, but without msvcrt's second "Runtime Error!" box, and with
  // nothing of the program's own run after a failure it could not handle.
  TerminateProcess(GetCurrentProcess(), 3);
}

}  // namespace __gnu_cxx
