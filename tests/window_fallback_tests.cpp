// The window where Windows lacks the newer DPI functions (XP to 8.1): the test seam hides them,
// so the layout, fonts and frame follow the system DPI. ctest runs these at Wine's 96 DPI;
// scripts/xp-tests.sh runs them again in a prefix at 144 DPI that reports Windows XP.
#include <cstdlib>
#include <string>
#include <vector>

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
  EXPECT_EQ(kGetDpiForSystem.Find(), nullptr);
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

namespace {

// What the program asks of SetDllDirectoryW, seen through the test's import of GetProcAddress,
// which the program's table of run-time functions calls.
extern "C" decltype(&GetProcAddress) velmora_gpa_slot asm("__imp__GetProcAddress@8");
decltype(&GetProcAddress) g_realGetProcAddress = nullptr;
std::vector<std::wstring> g_dllDirectories;

BOOL WINAPI RecordDllDirectory(LPCWSTR folder) {
  g_dllDirectories.push_back(folder ? folder : L"(null)");
  return TRUE;
}

FARPROC WINAPI WatchedGetProcAddress(HMODULE module, LPCSTR name) {
  if (HIWORD(name) && lstrcmpA(name, "SetDllDirectoryW") == 0)
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(RecordDllDirectory));
  return g_realGetProcAddress(module, name);
}

void SetGetProcAddressSlot(decltype(&GetProcAddress) function) {
  DWORD old = 0;
  VirtualProtect(&velmora_gpa_slot, sizeof velmora_gpa_slot, PAGE_READWRITE, &old);
  velmora_gpa_slot = function;
  VirtualProtect(&velmora_gpa_slot, sizeof velmora_gpa_slot, old, &old);
}

}  // namespace

// Where the DLL search cannot be kept to the system folder (XP), the current folder leaves it:
// SetDllDirectoryW with an empty folder, which Windows takes as "no current folder". Wine takes an
// empty folder as none set and keeps searching the current folder, so the call is what shows here.
TEST_F(Form1Fallback, OnXpTheCurrentFolderLeavesTheDllSearch) {
  if (!std::getenv("VELMORA_HIDE_NEWER_FUNCTIONS")) GTEST_SKIP() << "run by scripts/xp-tests.sh";
  g_realGetProcAddress = velmora_gpa_slot;
  SetGetProcAddressSlot(&WatchedGetProcAddress);
  RestrictDllSearch();
  SetGetProcAddressSlot(g_realGetProcAddress);
  EXPECT_EQ(g_dllDirectories, std::vector<std::wstring>{L""});
}

// The manifest's comctl32, version 6, from its side-by-side assembly: the one loaded by name.
// Loaded by its full path from the system folder it would be version 5, without visual styles.
// Wine's copy of version 6 reports 5.81 to DllGetVersion, so the assembly's folder tells.
TEST_F(Form1Fallback, CommonControlsAreVersion6) {
  HMODULE comctl32 = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(kInitCommonControlsEx.Find()), &comctl32));
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(comctl32, path, MAX_PATH);
  std::wstring folder = CharLowerW(path);
  folder.erase(folder.rfind(L'\\'));
  EXPECT_NE(folder.find(L"\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::wstring::npos)
      << "from " << std::string(folder.begin(), folder.end());
  EXPECT_EQ(comctl32, GetModuleHandleW(L"comctl32.dll")) << "the one the controls use";
}

// Where the search cannot be kept to the system folder (XP), a system DLL loaded at run time must
// still find its own imports there, not beside the program: imagehlp imports dbghelp, and a
// dbghelp.dll stands beside this program, with Wine told to prefer it as Windows would.
TEST(DllSearch, ASystemDllsOwnImportsComeFromTheSystemFolder) {
  if (!std::getenv("VELMORA_HIDE_NEWER_FUNCTIONS")) GTEST_SKIP() << "run by ctest as on XP";
  ASSERT_EQ(GetModuleHandleW(L"dbghelp.dll"), nullptr);
  HMODULE imagehlp = LoadSystemLibrary(L"imagehlp.dll");
  ASSERT_NE(imagehlp, nullptr);
  wchar_t loaded[MAX_PATH] = {}, system[MAX_PATH] = {};
  GetModuleFileNameW(GetModuleHandleW(L"dbghelp.dll"), loaded, MAX_PATH);
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(loaded, system, wcslen(system)), 0) << std::string(loaded, loaded + wcslen(loaded));
  FreeLibrary(imagehlp);
}
