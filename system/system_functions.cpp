#include "system/system_functions.h"

#include <string>

namespace {

bool g_hideNewerFunctions = false;
// Set once the DLL search is kept to the system folder for the whole process.
bool g_searchRestricted = false;

HMODULE LoadSystemDll(SystemDll dll) {
  switch (dll) {
    case SystemDll::Kernel32:
      return GetModuleHandleW(L"kernel32.dll");
    case SystemDll::Ntdll:  // in every process from its start
      return GetModuleHandleW(L"ntdll.dll");
    case SystemDll::Advapi32:
      return LoadSystemLibrary(L"advapi32.dll");
    case SystemDll::User32:  // delay-imported: maybe not called yet
      return LoadSystemLibrary(L"user32.dll");
    case SystemDll::Comctl32:
      // By name, not by path: the manifest's activation context then redirects it to version 6,
      // which lives outside the system folder; that redirection comes before any folder search.
      return LoadLibraryW(L"comctl32.dll");
    case SystemDll::Uxtheme:
      return LoadSystemLibrary(L"uxtheme.dll");
    case SystemDll::Comdlg32:
      return LoadSystemLibrary(L"comdlg32.dll");
    case SystemDll::Oleacc:
      return LoadSystemLibrary(L"oleacc.dll");
    case SystemDll::Oleaut32:
      return LoadSystemLibrary(L"oleaut32.dll");
    case SystemDll::Ole32:
      return LoadSystemLibrary(L"ole32.dll");
  }
  return nullptr;
}

// Each DLL is loaded once, on the user-interface thread, and stays loaded for the run.
HMODULE SystemDllHandle(SystemDll dll) {
  if (dll == SystemDll::Kernel32 || dll == SystemDll::Ntdll) return LoadSystemDll(dll);
  static HMODULE loaded[static_cast<int>(SystemDll::Ole32) + 1] = {};
  HMODULE& module = loaded[static_cast<int>(dll)];
  if (!module) module = LoadSystemDll(dll);
  return module;
}

}  // namespace

FARPROC FindSystemFunction(SystemDll dll, const char* name, FirstIn firstIn) {
  if (g_hideNewerFunctions && firstIn != FirstIn::WindowsXp) return nullptr;
  HMODULE module = SystemDllHandle(dll);
  return module ? GetProcAddress(module, name) : nullptr;
}

bool RunningOnWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool HideNewerFunctions(bool hide) {
  bool previous = g_hideNewerFunctions;
  g_hideNewerFunctions = hide;
  return previous;
}

void RestrictDllSearch() {
  if (auto setDefaultDllDirectories = kSetDefaultDllDirectories.Find())
    g_searchRestricted = setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
  // XP keeps searching the program's folder first; the current folder at least can go.
  if (!g_searchRestricted) {
    if (auto setDllDirectory = kSetDllDirectoryW.Find()) setDllDirectory(L"");
  }
  // Wine's uxtheme loads msimg32 when it first draws, by a search that ignores the restriction
  // and starts beside the program; loaded from the system folder now, it is found loaded then.
  LoadSystemLibrary(L"msimg32.dll");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  UINT length = GetSystemDirectoryW(nullptr, 0);  // with the terminating null
  if (length == 0) return nullptr;
  std::wstring path(length, L'\0');
  length = GetSystemDirectoryW(path.data(), length);
  if (length == 0 || length >= path.size()) return nullptr;
  path.resize(length);
  if (path.back() != L'\\') path += L'\\';
  path += name;
  // Where the search is not restricted, the altered search order has the DLL's own imports looked
  // for in the system folder, not beside the program. Where it is, that flag would widen it again.
  return g_searchRestricted ? LoadLibraryW(path.c_str())
                            : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
