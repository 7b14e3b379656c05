#pragma once
// Every kind of OS handle the program owns, each a UniqueAny with its policy, in one place (the
// shape of WIL's resource.h), and the scoped guards for a paint and a selected GDI object.
#include <windows.h>

#include <uxtheme.h>

#include "system/system_functions.h"
#include "system/unique_any.h"

template <typename T, auto Closer>
using UniqueHandle = UniqueAny<HandlePolicy<T, Closer>>;

// Kernel and find handles say "none" as null or as INVALID_HANDLE_VALUE, depending on the call
// that made them; both count as none. Kind makes each its own type: a find handle never
// reaches CloseHandle, nor a file FindClose.
template <auto Closer, typename Kind>
struct KernelHandlePolicy {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { Closer(handle); }
};
using UniqueFile = UniqueAny<KernelHandlePolicy<CloseHandle, struct FileHandleKind>>;
using UniqueFind = UniqueAny<KernelHandlePolicy<FindClose, struct FindHandleKind>>;

using UniqueFont = UniqueHandle<HFONT, DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObject>;
using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueMemoryDc = UniqueHandle<HDC, DeleteDC>;  // from CreateCompatibleDC
inline void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using UniqueScreenDc = UniqueHandle<HDC, ReleaseScreenDc>;  // from GetDC(nullptr)

// uxtheme is loaded at run time: a theme handle exists only where it was.
inline void CloseTheme(HTHEME theme) {
  static const auto closeThemeData = kCloseThemeData.Find();
  if (closeThemeData) closeThemeData(theme);
}
using UniqueTheme = UniqueHandle<HTHEME, CloseTheme>;

// Selects an object into a DC for one scope.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// BeginPaint and EndPaint for one WM_PAINT, whatever happens between them.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(hwnd_, &paint_); }
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};
