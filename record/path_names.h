#pragma once
// What can be told of a Windows path from its text alone. The back-end asks Windows only what a
// string cannot tell (the full path, the long names, a name as its folder lists it).
#include <cstddef>
#include <string>

using PathString = std::wstring;

// Where the last name of path begins: just past its last separator, \ or /.
std::size_t NameStart(const PathString& path);
inline std::size_t NameLength(const PathString& path) { return path.size() - NameStart(path); }

// path followed by ".bak", whatever extension the name already has.
PathString BackupPath(const PathString& path);

// The names the backup is written through before it is renamed into place (.~b0, .~b1, ...),
// in the order a save tries them; the first ten are as long as the backup's. A save killed
// meanwhile leaves its temporary at one of them; the next save of the file takes each such
// leftover's place as a name, and so removes it, whatever stands there (a link is never followed).
PathString BackupTemporaryPath(const PathString& path, int attempt);

// Whether a name in path's last place would pass the file system's limit: 255 UTF-16 units, or
// where names are Linux ones, 255 bytes of UTF-8.
bool NameTooLong(const PathString& path, bool linuxNames);

// The \\?\ form of a full path (as GetFullPathNameW returns it), which lifts the 260-character
// limit and takes the name as it is: C:\x gives \\?\C:\x and \\server\share\x gives
// \\?\UNC\server\share\x. A path already in the \\?\ or \\.\ form is kept unchanged; any other
// loses the dots and spaces that end its last name, which Windows never keeps there.
PathString ExtendedPath(PathString full);
// Whether path is already in the \\?\ or \\.\ form, which no normalisation may touch.
bool IsExtended(const PathString& path);
