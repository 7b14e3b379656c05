#pragma once
// One move-only owner for each kind of OS handle the window code holds.
#include <windows.h>

#include "system/unique_any.h"

// Window code names its handle kinds here; the owner itself is shared with the record.
template <typename T, auto Closer>
using UniqueHandle = UniqueAny<HandlePolicy<T, Closer>>;

using UniqueFont = UniqueHandle<HFONT, DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObject>;
using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueHook = UniqueHandle<HHOOK, UnhookWindowsHookEx>;
using UniqueMemoryDc = UniqueHandle<HDC, DeleteDC>;  // from CreateCompatibleDC
inline void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
using UniqueScreenDc = UniqueHandle<HDC, ReleaseScreenDc>;  // from GetDC(nullptr)

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
