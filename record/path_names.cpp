#include "record/path_names.h"

std::size_t NameStart(const PathString& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == PathString::npos ? 0 : separator + 1;
}

PathString BackupPath(const PathString& path) { return path + L".bak"; }

PathString BackupTemporaryPath(const PathString& path, int attempt) {
  // Digits by hand: std::to_wstring would bring the C library's wide printf into the program.
  PathString digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + attempt % 10));
    attempt /= 10;
  } while (attempt > 0);
  return path + L".~b" + digits;
}

bool NameTooLong(const PathString& path, bool linuxNames) {
  constexpr std::size_t kLimit = 255;
  const std::size_t start = NameStart(path);
  if (path.size() - start > kLimit) return true;
  if (!linuxNames) return false;
  std::size_t bytes = 0;
  for (std::size_t i = start; i < path.size(); ++i) {
    const unsigned unit = path[i];
    const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
                      path[i + 1] <= 0xDFFF;
    if (pair) ++i;
    bytes += pair ? 4 : unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
  }
  return bytes > kLimit;
}

bool IsExtended(const PathString& path) {
  return path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
         path[3] == L'\\';
}

PathString ExtendedPath(PathString full) {
  if (IsExtended(full)) return full;
  const std::size_t start = NameStart(full);
  while (full.size() > start && (full.back() == L'.' || full.back() == L' ')) full.pop_back();
  if (full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\') return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
