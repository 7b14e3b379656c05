#pragma once
// The names a save works with, as its folder lists them when the save begins: every save looks
// at the folder as it is, so what stands there now decides, never what a save before found.
#include <windows.h>

#include <string>
#include <vector>

#include "record/win32_names.h"

// How a name the save wants stands on disk. Under Wine a name that does not exist as spelled is
// looked up regardless of case, which would reach another file's name (audio_cfg.db.bak for
// AUDIO_CFG.DB.bak): such a name is there in another case only.
enum class Listed { Nothing, Exactly, OtherCase };
struct Look {
  Listed listed = Listed::Nothing;
  PathString spelling;  // the last name as it is on disk
  DWORD attributes = 0;
};

// wanted as the listing has it: spelled so, or only in another letter case.
Look LookIn(const std::vector<ListedName>& names, const PathString& wanted);

struct SaveNames {
  PathString name;    // the full path, its last name spelled as on disk
  PathString backup;  // name with .bak
  Look file, backupLook;
  std::vector<ListedName> listed;  // what the folder lists whose names begin with the file's
};

// One look at the folder of given, a full path in the \\?\ form.
SaveNames FindSaveNames(const PathString& given);

// Throws when the backup's name holds what a save must not replace: another file's backup, or
// what the user protected.
void CheckBackup(const SaveNames& names);

// The last name of path in UTF-8, for a message that asks the user to move it.
std::string LastNameForMessage(const PathString& path);
