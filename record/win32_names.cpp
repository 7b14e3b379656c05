#include "record/win32_names.h"

#include "record/win32_file.h"

PathString FullExtendedPath(const PathString& path) {
  if (IsExtended(path)) return path;
  PathString full;
  DWORD size = FileCalls().GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  for (;;) {
    if (size == 0) ThrowLastError();
    full.resize(size);
    const DWORD used = FileCalls().GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (used == 0) ThrowLastError();
    if (used < size) {
      full.resize(used);
      return ExtendedPath(full);
    }
    size = used;  // The current folder changed between the two calls.
  }
}

// Only a path with a short name in it needs expanding, and every short name Windows makes has
// a tilde.
PathString LongPathOf(const PathString& extendedPath) {
  if (extendedPath.find(L'~') == PathString::npos) return extendedPath;
  // Wine expands nothing behind \\?\, so a path short enough goes without it.
  const bool drive = extendedPath.size() < MAX_PATH && extendedPath.compare(5, 1, L":") == 0;
  const std::size_t prefix = drive ? 4 : 0;
  PathString path(extendedPath.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD used = FileCalls().GetLongPathNameW(extendedPath.c_str() + prefix, &path[prefix],
                                                    static_cast<DWORD>(path.size() - prefix));
    if (used == 0) break;
    if (used < path.size() - prefix) {
      path.resize(prefix + used);
      path.replace(0, prefix, extendedPath, 0, prefix);
      return path;
    }
    path.resize(prefix + used);
  }
  const std::size_t start = NameStart(extendedPath);
  if (GetLastError() != ERROR_FILE_NOT_FOUND || start == 0 || start == extendedPath.size())
    return extendedPath;
  const PathString folder = extendedPath.substr(0, start - 1);
  if (folder.size() <= 6) return extendedPath;  // \\?\C: and shorter: a drive, never shortened
  return LongPathOf(folder) + extendedPath.substr(start - 1);
}

std::vector<ListedName> ListNamesStartingWith(const PathString& path) {
  std::vector<ListedName> names;
  // A wildcard of its own would match other names; no file name can hold one.
  if (path.find_first_of(L"*?", 4) != PathString::npos) return names;
  WIN32_FIND_DATAW data{};
  const UniqueFind find(FileCalls().FindFirstFileW((path + L'*').c_str(), &data));
  if (!find) return names;
  do {
    names.push_back({data.cFileName, data.dwFileAttributes});
  } while (FileCalls().FindNextFileW(find.get(), &data));
  return names;
}
