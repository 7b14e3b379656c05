#include "ui/message_boxes.h"

#include "resources/velmora_version.h"
#include "ui/app_title.h"
#include "ui/message_text.h"

namespace {
constexpr wchar_t kAboutText[] = L"Velmora " VELMORA_VERSION_TEXT ", made by the Velmora authors.";
}

void ShowAboutBox(HWND owner) { MessageBoxW(owner, kAboutText, kAppTitle, MB_OK | MB_TASKMODAL); }

void ShowErrorBox(std::string_view message) {
  std::wstring text = ErrorBoxText(message);
  MessageBoxW(GetActiveWindow(), text.c_str(), kAppTitle, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void ShowGuidanceBox(std::string_view message) {
  std::wstring text = WidenUtf8(message);
  MessageBoxW(GetActiveWindow(), text.c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}
