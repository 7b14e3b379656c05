#pragma once
// The open-file dialog component: it holds the path last confirmed in it.
#include <windows.h>

#include <string>

class TOpenDialog {
 public:
  // Shows the dialog modal to owner; true when the user confirmed a name, which then becomes
  // FileName(). False when cancelled or when the dialog itself failed.
  bool Execute(HWND owner);
  const std::wstring& FileName() const { return fileName_; }

 private:
  std::wstring fileName_;
};
