#include "app/message_loop.h"

#include "ui/form1.h"

void DeliverMessage(HWND window, MSG& msg) {
  if (window && IsDialogMessageW(window, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

int RunMessageLoop(const TForm1& form) {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DeliverMessage(form.Handle(), msg);
  return static_cast<int>(msg.wParam);
}
