// The window where Windows lacks the newer DPI functions (XP to 8.1): the test seam hides them,
// so the layout, fonts and frame follow the system DPI. ctest runs these at Wine's 96 DPI;
// scripts/xp-tests.sh runs them again in a prefix at 144 DPI that reports Windows XP.
#include <cstdlib>

#include "system/system_functions.h"
#include "tests/window_test_support.h"
#include "ui/system_api.h"

namespace {

class Form1Fallback : public Form1Test {
 protected:
  void SetUp() override {
    wasHidden_ = HideNewerFunctions(true);
    Form1Test::SetUp();
  }
  void TearDown() override {
    Form1Test::TearDown();
    HideNewerFunctions(wasHidden_);
  }
  int FontHeight(ControlId id) const {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(id), WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
  }

  bool wasHidden_ = false;
};

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace

TEST_F(Form1Fallback, NewerFunctionsAreHiddenOnlyWhileTheSeamIsSet) {
  EXPECT_EQ(kGetDpiForWindow.Find(), nullptr);
  EXPECT_EQ(kGetFinalPathNameByHandleW.Find(), nullptr);
  EXPECT_NE(kIsAppThemed.Find(), nullptr) << "XP has it";
  HideNewerFunctions(false);
  EXPECT_NE(kGetDpiForWindow.Find(), nullptr) << "Wine 8 exports it";
  EXPECT_EQ((SystemFunction<FARPROC>{SystemDll::User32, "NoSuchFunction", FirstIn::WindowsXp}.Find()),
            nullptr);
  HideNewerFunctions(true);
}

TEST_F(Form1Fallback, LayoutFontsAndFrameFollowTheSystemDpi) {
  int dpi = ScreenDpi();
  if (const char* expected = std::getenv("VELMORA_EXPECT_SYSTEM_DPI")) {
    ASSERT_EQ(dpi, std::atoi(expected)) << "the prefix's LogPixels";
  }
  EXPECT_EQ(SystemDpi(), dpi);
  EXPECT_EQ(WindowDpi(Main()), dpi);

  RECT client{};
  GetClientRect(Main(), &client);
  EXPECT_EQ(client.right, MulDiv(266, dpi, 96));
  EXPECT_EQ(client.bottom, MulDiv(200, dpi, 96));
  for (const auto& c : kForm1Layout) {
    RECT r = RectInParent(C(c.id)), want = ScaledRect(c.rect, dpi);
    EXPECT_TRUE(EqualRect(&r, &want)) << c.name;
  }
  EXPECT_EQ(FontHeight(Label1), -MulDiv(16, dpi, 96));
  EXPECT_EQ(FontHeight(BitBtn1), -MulDiv(11, dpi, 96));
  int parts[2] = {};
  SendMessageW(C(StatusBar1), SB_GETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  EXPECT_EQ(parts[0], MulDiv(200, dpi, 96));

  // Still centred on the primary screen with the frame measured at that DPI.
  RECT frame{};
  GetWindowRect(Main(), &frame);
  EXPECT_NEAR(frame.left + (frame.right - frame.left) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR(frame.top + (frame.bottom - frame.top) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(Form1Fallback, SystemLibrariesLoadFromTheSystemFolderOnly) {
  HMODULE dialogs = LoadSystemLibrary(L"comdlg32.dll");
  ASSERT_NE(dialogs, nullptr);
  wchar_t system[MAX_PATH] = {}, loaded[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(system, MAX_PATH);
  GetModuleFileNameW(dialogs, loaded, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(loaded, system, length), 0);
  EXPECT_NE(GetProcAddress(dialogs, "GetOpenFileNameW"), nullptr);
  FreeLibrary(dialogs);
  // A name that is only beside the program, never in the system folder, is not found.
  EXPECT_EQ(LoadSystemLibrary(L"window_tests.exe"), nullptr);
}

// The XP run's prefix must really report Windows XP, as its programs would see it.
TEST(WineAsWindowsXp, ReportsVersion5Point1) {
  if (!std::getenv("VELMORA_EXPECT_WINDOWS_XP")) GTEST_SKIP() << "run by scripts/xp-tests.sh";
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExW(&version));
  EXPECT_EQ(version.dwMajorVersion, 5u);
  EXPECT_EQ(version.dwMinorVersion, 1u);
}
