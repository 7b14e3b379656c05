#pragma once
// Every Windows function the program finds at run time instead of importing it, in one table:
// those newer than Windows XP SP3, each with a fallback where it is called, and those of the
// system DLLs that are loaded only once the DLL search is kept to the system folder, so that
// no DLL left beside the program is ever loaded in their place.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <uxtheme.h>

// Where each function lives. kernel32 is loaded before the program runs; the others are loaded
// from the system folder on first use, and stay loaded.
enum class SystemDll {
  Kernel32,
  Ntdll,
  Advapi32,
  User32,
  Comctl32,
  Uxtheme,
  Comdlg32,
  Oleacc,
  Oleaut32,
  Ole32
};

// The first Windows that has a function; anything after XP the test seam can hide.
enum class FirstIn { WindowsXp, WindowsVista, Windows7Update, Windows10_1607 };

// The function, or null where this Windows (or its DLL) lacks it or the test seam hides it.
FARPROC FindSystemFunction(SystemDll dll, const char* name, FirstIn firstIn);

template <typename Function>
struct SystemFunction {
  SystemDll dll;
  const char* name;
  FirstIn firstIn;

  Function Find() const {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(FindSystemFunction(dll, name, firstIn)));
  }
};

// kernel32. SetDefaultDllDirectories: Windows 8, and Vista and 7 with their 2011 loader update
// (KB2533623). SetDllDirectoryW: XP SP1.
inline constexpr SystemFunction<BOOL(WINAPI*)(DWORD)> kSetDefaultDllDirectories{
    SystemDll::Kernel32, "SetDefaultDllDirectories", FirstIn::Windows7Update};
inline constexpr SystemFunction<decltype(&SetDllDirectoryW)> kSetDllDirectoryW{
    SystemDll::Kernel32, "SetDllDirectoryW", FirstIn::WindowsXp};

// ntdll: a file's index without its volume's details.
inline constexpr SystemFunction<LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int)> kNtQueryInformationFile{
    SystemDll::Ntdll, "NtQueryInformationFile", FirstIn::WindowsXp};

// advapi32: a file's access rights, which a backup copies.
inline constexpr SystemFunction<decltype(&GetKernelObjectSecurity)> kGetKernelObjectSecurity{
    SystemDll::Advapi32, "GetKernelObjectSecurity", FirstIn::WindowsXp};

// user32: per-monitor DPI.
inline constexpr SystemFunction<UINT(WINAPI*)()> kGetDpiForSystem{SystemDll::User32, "GetDpiForSystem",
                                                                  FirstIn::Windows10_1607};
inline constexpr SystemFunction<UINT(WINAPI*)(HWND)> kGetDpiForWindow{SystemDll::User32, "GetDpiForWindow",
                                                                      FirstIn::Windows10_1607};
inline constexpr SystemFunction<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)> kAdjustWindowRectExForDpi{
    SystemDll::User32, "AdjustWindowRectExForDpi", FirstIn::Windows10_1607};

// comctl32, version 6 as the manifest asks.
inline constexpr SystemFunction<decltype(&InitCommonControlsEx)> kInitCommonControlsEx{
    SystemDll::Comctl32, "InitCommonControlsEx", FirstIn::WindowsXp};
inline constexpr SystemFunction<HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*)> kLoadIconWithScaleDown{
    SystemDll::Comctl32, "LoadIconWithScaleDown", FirstIn::WindowsVista};

// uxtheme: visual styles. Without them the controls are drawn the classic way.
inline constexpr SystemFunction<decltype(&IsAppThemed)> kIsAppThemed{SystemDll::Uxtheme, "IsAppThemed",
                                                                     FirstIn::WindowsXp};
inline constexpr SystemFunction<decltype(&OpenThemeData)> kOpenThemeData{SystemDll::Uxtheme, "OpenThemeData",
                                                                         FirstIn::WindowsXp};
inline constexpr SystemFunction<decltype(&CloseThemeData)> kCloseThemeData{
    SystemDll::Uxtheme, "CloseThemeData", FirstIn::WindowsXp};
inline constexpr SystemFunction<decltype(&DrawThemeBackground)> kDrawThemeBackground{
    SystemDll::Uxtheme, "DrawThemeBackground", FirstIn::WindowsXp};
inline constexpr SystemFunction<decltype(&DrawThemeParentBackground)> kDrawThemeParentBackground{
    SystemDll::Uxtheme, "DrawThemeParentBackground", FirstIn::WindowsXp};
inline constexpr SystemFunction<decltype(&SetWindowTheme)> kSetWindowTheme{
    SystemDll::Uxtheme, "SetWindowTheme", FirstIn::WindowsXp};
inline constexpr SystemFunction<decltype(&GetThemeColor)> kGetThemeColor{SystemDll::Uxtheme, "GetThemeColor",
                                                                         FirstIn::WindowsXp};

// comdlg32: large and needed only once the user presses Open.
inline constexpr SystemFunction<decltype(&GetOpenFileNameW)> kGetOpenFileNameW{
    SystemDll::Comdlg32, "GetOpenFileNameW", FirstIn::WindowsXp};

// oleacc and what its objects need: loaded only when a screen reader first asks for one.
inline constexpr SystemFunction<HRESULT(WINAPI*)(HWND, LONG, REFIID, void**)> kCreateStdAccessibleObject{
    SystemDll::Oleacc, "CreateStdAccessibleObject", FirstIn::WindowsXp};
inline constexpr SystemFunction<LRESULT(WINAPI*)(REFIID, WPARAM, void* /* IUnknown */)> kLresultFromObject{
    SystemDll::Oleacc, "LresultFromObject", FirstIn::WindowsXp};
inline constexpr SystemFunction<wchar_t*(WINAPI*)(const wchar_t*)/* a BSTR */> kSysAllocString{
    SystemDll::Oleaut32, "SysAllocString", FirstIn::WindowsXp};
inline constexpr SystemFunction<HRESULT(WINAPI*)(LPVOID)> kCoInitialize{SystemDll::Ole32, "CoInitialize",
                                                                        FirstIn::WindowsXp};

// Called first thing in wWinMain, before any DLL is loaded: from then on DLLs are searched for
// in the system folder only where Windows allows it (Windows 8, 7 and Vista updated); elsewhere
// (XP) at least the current folder is no longer searched.
void RestrictDllSearch();

// Loads a DLL from the system folder by its full path, so no other folder is searched for it,
// without the loader flags that XP, Vista and an un-updated Windows 7 lack.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Whether the program runs under Wine, whose folders are Linux ones.
bool RunningOnWine();

// Test seam: while set, every function newer than XP is missing, as on Windows XP, so every
// caller takes its fallback. Returns the previous setting.
bool HideNewerFunctions(bool hide);
