#include "record/save_names.h"

#include <cwchar>

#include "record/win32_file.h"

namespace {

// Wine lets a backup with these be replaced; Windows refuses, and what the user protected stays.
constexpr DWORD kProtected =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

}  // namespace

Look LookIn(const std::vector<ListedName>& names, const PathString& wanted) {
  for (const ListedName& entry : names) {
    if (entry.name == wanted) return {Listed::Exactly, entry.name, entry.attributes};
  }
  for (const ListedName& entry : names) {
    if (entry.name.size() == wanted.size() && _wcsicmp(entry.name.c_str(), wanted.c_str()) == 0) {
      return {FileCalls().linuxNames ? Listed::OtherCase : Listed::Exactly, entry.name, entry.attributes};
    }
  }
  return {};
}

SaveNames FindSaveNames(const PathString& given) {
  SaveNames names;
  names.listed = ListNamesStartingWith(given);
  const std::size_t start = NameStart(given);
  names.file = LookIn(names.listed, given.substr(start));
  names.name = names.file.listed == Listed::Nothing ? given : given.substr(0, start) + names.file.spelling;
  names.backup = BackupPath(names.name);
  names.backupLook = LookIn(names.listed, names.backup.substr(start));
  return names;
}

void CheckBackup(const SaveNames& names) {
  const Look& backup = names.backupLook;
  if (backup.listed == Listed::OtherCase) {
    // The file that backup was made for, spelled exactly as the backup has it without ".bak".
    const PathString twin = backup.spelling.substr(0, backup.spelling.size() - 4);
    bool twinThere = false;
    for (const ListedName& entry : names.listed) twinThere = twinThere || entry.name == twin;
    if (!twinThere) throw EInOutError(kInOutBackupLoneTwin, LastNameForMessage(backup.spelling));
    throw EInOutError(kInOutBackupCaseTwin);
  }
  // Replaced only as a name, so a link there leads nowhere; what the user protected stays.
  if (backup.listed == Listed::Exactly && (backup.attributes & kProtected))
    throw EInOutError(kInOutBackupProtected);
  // A killed save leaves files at the temporaries' names, never a folder, which no rename replaces.
  const PathString temporary = names.name.substr(NameStart(names.name)) + L".~b";
  for (const ListedName& entry : names.listed) {
    if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        entry.name.compare(0, temporary.size(), temporary) == 0 &&
        entry.name.find_first_not_of(L"0123456789", temporary.size()) == PathString::npos)
      throw EInOutError(kInOutTemporaryNameTaken, LastNameForMessage(entry.name));
  }
}

std::string LastNameForMessage(const PathString& path) {
  const std::size_t start = NameStart(path);
  const int length = static_cast<int>(path.size() - start);
  std::string text(static_cast<std::size_t>(length) * 3, '\0');
  const int used =
      WideCharToMultiByte(CP_UTF8, 0, path.c_str() + start, length, &text[0], length * 3, nullptr, nullptr);
  text.resize(used > 0 ? static_cast<std::size_t>(used) : 0);
  return text;
}
