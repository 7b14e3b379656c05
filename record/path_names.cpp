#include "record/path_names.h"

std::size_t NameStart(const PathString& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == PathString::npos ? 0 : separator + 1;
}

PathString BackupPath(const PathString& path) { return path + L".bak"; }

PathString TemporaryPath(const PathString& path, int attempt) {
  static constexpr wchar_t kLast[] = L"m0123456789abcdefghijklmnopqrstuvwxyz";
  static_assert(sizeof kLast / sizeof kLast[0] == kTemporaryNames + 1, "one letter a name");
  return path + L".~v" + kLast[attempt];
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

PathString SaveLockName(std::uint32_t volume, std::uint64_t index, const PathString& upperCaseName) {
  // FNV-1a keeps the name short whatever the file's name is.
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : upperCaseName) hash = (hash ^ static_cast<std::uint32_t>(c)) * 1099511628211ull;
  PathString name = L"Local\\Velmora save ";
  const auto hex = [&name](std::uint64_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
      name += L"0123456789abcdef"[(value >> shift) & 0xF];
  };
  hex(volume, 8);
  name += L'-';
  hex(index, 16);
  if (!upperCaseName.empty()) {
    name += L'-';
    hex(hash, 16);
  }
  return name;
}
