#pragma once
// The names a path has on disk: the full path, the long names and the names its folder lists.
#include <windows.h>

#include <vector>

#include "record/path_names.h"

// The full path of path in the \\?\ form.
PathString FullExtendedPath(const PathString& path);
// The long form of a path in the \\?\ form, for a name that may not exist yet: its folder's.
PathString LongPathOf(const PathString& extendedPath);
// A name as its folder lists it, and the attributes listed with it.
struct ListedName {
  PathString name;
  DWORD attributes;
};
// What path's folder lists whose names begin with path's last name, in any letter case: one
// look at the folder. Empty when nothing is listed or the name holds a wildcard.
std::vector<ListedName> ListNamesStartingWith(const PathString& path);
