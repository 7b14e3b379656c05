#pragma once
// What can be told of a Windows path from its text alone. The back-end asks Windows only what a
// string cannot tell (the full path, the long names, the file a name leads to).
#include <cstddef>
#include <cstdint>
#include <string>

using PathString = std::wstring;

// Where the last name of path begins: just past its last separator, \ or /.
std::size_t NameStart(const PathString& path);
inline std::size_t NameLength(const PathString& path) { return path.size() - NameStart(path); }

// path followed by ".bak", whatever extension the name already has.
PathString BackupPath(const PathString& path);

// The names a save may make its temporary at, in the order it tries them (".~vm", then ".~v0" to
// ".~vz"), none longer than the backup's. A save uses the first that is free and never takes
// one over: whatever stands at the others is a killed save's or somebody else's.
constexpr int kTemporaryNames = 37;
PathString TemporaryPath(const PathString& path, int attempt);

// The \\?\ form of a full path (as GetFullPathNameW returns it), which lifts the 260-character
// limit and takes the name as it is: C:\x gives \\?\C:\x and \\server\share\x gives
// \\?\UNC\server\share\x. A path already in the \\?\ or \\.\ form is kept unchanged; any other
// loses the dots and spaces that end its last name, which Windows never keeps there.
PathString ExtendedPath(PathString full);
// Whether path is already in the \\?\ or \\.\ form, which no normalisation may touch.
bool IsExtended(const PathString& path);

// The name of the lock every save of one file takes, whatever spelling reached the file: from
// the file's volume and index, or, for a file not yet made, its folder's and its name in
// upper case.
PathString SaveLockName(std::uint32_t volume, std::uint64_t index, const PathString& upperCaseName = {});
