// Loading and saving the record through the Win32 file system.
//
// A save writes the record into the file itself, through the handle it holds, never a new file
// over it: so the file stays what it was (its id, links, owner, mode, security, attributes,
// streams and name). That is as safe as replacing it: only the four level bytes can differ from
// what is on disk, the rest has just been read and found equal to the image, and the backup is
// whole and flushed before the first of them is written. A save killed, or a power loss, at any
// instant leaves each level old or new and every other byte as it was.
#include "record/record_file.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <utility>
#include <vector>

#include "record/save_lock.h"
#include "record/win32_file.h"
#include "record/win32_names.h"

namespace {

// Larger files are refused: no audio configuration file comes near this, and it keeps a wrong
// choice in the open dialog from filling memory.
constexpr std::uint64_t kMaxFileSize = 64u * 1024 * 1024;

// Wine lets a file with these be written, and root can write a read-only file; Windows itself
// refuses to replace them, so a save refuses them everywhere.
constexpr DWORD kNotReplaceable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Others may read the file while it is held, but nobody else may write, delete or rename it.
Win32File OpenShared(const PathString& path, DWORD access, DWORD disposition) {
  return Win32File::Open(path, access, FILE_SHARE_READ, disposition);
}

std::vector<std::uint8_t> ReadWholeFile(const PathString& path) {
  Win32File file = OpenShared(FullExtendedPath(path), GENERIC_READ, OPEN_EXISTING);
  if (!file) ThrowLastError();
  const std::uint64_t size = file.Size();
  if (size == 0) throw EInOutError(kInOutFileEmpty);
  if (size < kRecordSize) throw EInOutError(kInOutFileTooShort);
  if (size > kMaxFileSize) throw EInOutError(kInOutFileTooLarge);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  // The size we were told and what could be read differ only if the file changed under us.
  bytes.resize(file.ReadUpTo(bytes.data(), bytes.size()));
  file.Close();
  if (bytes.size() < kRecordSize) throw EInOutError(kInOutFileTooShort);
  return bytes;
}

bool Attributes(const PathString& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return FileCalls().GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

// The file a save writes, held from the open to the end. writable is false for a file that
// may be read only: its backup is still written, then the save is refused.
struct HeldFile {
  Win32File file;
  bool created = false;
  bool writable = true;
};

// mayCreate is false for a name that may be a short one, which a file gone since can no longer
// be known by: a new file would take the short name itself.
HeldFile OpenForSaving(const PathString& path, bool mayCreate) {
  HeldFile held{OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING)};
  if (held.file) return held;
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    // Asking to write refuses a file the user may not write (on Windows by its rights, under
    // Wine by its mode and owner) before anything is written; a read-only one gets its backup.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!Attributes(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
      ThrowError(error);
    }
    held.file = OpenShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!held.file) ThrowLastError();
    held.writable = false;
    return held;
  }
  if (error != ERROR_FILE_NOT_FOUND || !mayCreate) ThrowError(error);
  // Gone since it was opened: written anew, but never over something that stands there now.
  held.file = OpenShared(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
  if (held.file) {
    held.created = true;
    return held;
  }
  error = GetLastError();
  // Nothing answers to the name, yet something stands there: a link whose file is gone.
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) throw EInOutError(kInOutBrokenLink);
  ThrowError(error);
}

// Compares the file as it is now with what this program last loaded or saved. Times would not
// do: FAT keeps them to two seconds.
bool HoldsExactly(Win32File& file, const std::vector<std::uint8_t>& expected) {
  // One byte more than expected shows a file that grew.
  std::vector<std::uint8_t> bytes(expected.size() + 1);
  return file.ReadUpTo(bytes.data(), bytes.size()) == expected.size() &&
         std::equal(expected.begin(), expected.end(), bytes.begin());
}

// The same, asked after a failure: false when even that cannot be told.
bool StillHolds(Win32File& file, const std::vector<std::uint8_t>& expected) {
  try {
    file.Rewind();
    return HoldsExactly(file, expected);
  } catch (const EInOutError&) {
    return false;
  }
}

// How a name the save wants stands on disk. Under Wine a name that does not exist as spelled is
// looked up regardless of case, which would reach another file's name (audio_cfg.db.bak for
// AUDIO_CFG.DB.bak): such a name is there in another case only.
enum class Listed { Nothing, Exactly, OtherCase };
struct Look {
  Listed listed = Listed::Nothing;
  PathString spelling;  // the last name as it is on disk
  DWORD attributes = 0;
};

// wanted as the folder's listing has it: spelled so, or only in another letter case.
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

// The names a save works with, and how its folder stands at them.
struct Names {
  PathString name;    // the full path, its last name spelled as on disk
  PathString backup;  // name with .bak
  Look file, backupLook;
};

// What the last save here left: the file's name as it found it, and the backup it wrote, known
// by its time of writing and its size. A save of the same name that finds that backup as it was left needs
// no look at the folder, which costs as much as opening a file.
struct LastSave {
  PathString given, name;
  FILETIME backupWritten{};
  DWORD backupSize = 0;
};
LastSave g_lastSave;

Names FindNames(const PathString& given) {
  Names names;
  WIN32_FILE_ATTRIBUTE_DATA backup{}, file{};
  if (g_lastSave.given == given && Attributes(BackupPath(g_lastSave.name), backup) &&
      CompareFileTime(&backup.ftLastWriteTime, &g_lastSave.backupWritten) == 0 &&
      backup.nFileSizeLow == g_lastSave.backupSize && Attributes(given, file)) {
    names.name = g_lastSave.name;
    names.backup = BackupPath(names.name);
    names.file = {Listed::Exactly, names.name.substr(NameStart(names.name)), file.dwFileAttributes};
    names.backupLook = {Listed::Exactly, names.backup.substr(NameStart(names.backup)),
                        backup.dwFileAttributes};
    return names;
  }
  const std::vector<ListedName> listed = ListNamesStartingWith(given);
  const std::size_t start = NameStart(given);
  names.file = LookIn(listed, given.substr(start));
  names.name = names.file.listed == Listed::Nothing ? given : given.substr(0, start) + names.file.spelling;
  names.backup = BackupPath(names.name);
  names.backupLook = LookIn(listed, names.backup.substr(start));
  return names;
}

// Remembers the backup this save left, for the next save of the same name.
void Remember(const PathString& given, const Names& names) {
  WIN32_FILE_ATTRIBUTE_DATA backup{};
  if (Attributes(names.backup, backup)) {
    g_lastSave = {given, names.name, backup.ftLastWriteTime, backup.nFileSizeLow};
  } else {
    g_lastSave = {};
  }
}

void CheckBackup(const Look& backup) {
  if (backup.listed == Listed::OtherCase) throw EInOutError(kInOutBackupCaseTwin);
  // Replaced only as a name, so a link there leads nowhere; what the user protected stays.
  if (backup.listed == Listed::Exactly && (backup.attributes & (kNotReplaceable | FILE_ATTRIBUTE_DIRECTORY)))
    throw EInOutError(kInOutBackupProtected);
}

void MoveOver(const PathString& from, const PathString& to) {
  if (!FileCalls().MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ThrowLastError();
}

// Writes bytes to the backup through a new temporary beside it, flushed, then renamed over the
// backup's name, so the backup is always whole. A killed save's temporary is taken over as a
// name on the way (no other save of this file runs: we hold its lock). Leftovers stand at the
// first names in order, and the temporary passes them from the last to the first, so a save
// killed at any point leaves them so again.
void WriteBackup(const PathString& name, const PathString& backup, const std::vector<std::uint8_t>& bytes) {
  Win32File temporary;
  std::vector<int> leftovers;
  int mine = 0;
  for (; mine < kBackupTemporaries; ++mine) {
    const PathString path = BackupTemporaryPath(name, mine);
    temporary = OpenShared(path, GENERIC_WRITE, CREATE_NEW);
    if (temporary) break;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
    // Another file's temporary, differing only in letter case, is left alone; so is a link that
    // leads nowhere, which no save of ours made.
    if (LookIn(ListNamesStartingWith(path), path.substr(NameStart(path))).listed == Listed::Exactly)
      leftovers.push_back(mine);
  }
  if (!temporary) throw EInOutError(kInOutTemporaryNamesTaken);

  PathString at = BackupTemporaryPath(name, mine);
  try {
    temporary.WriteAll(bytes.data(), bytes.size());
    temporary.Flush();
    temporary.Close();
    for (auto leftover = leftovers.rbegin(); leftover != leftovers.rend(); ++leftover) {
      const PathString next = BackupTemporaryPath(name, *leftover);
      MoveOver(at, next);
      at = next;
    }
    MoveOver(at, backup);
  } catch (const EInOutError&) {
    temporary = Win32File();
    FileCalls().DeleteFileW(at.c_str());  // our own file; the error that brought us here is the one to report
    throw;
  }
}

}  // namespace

void LoadRecord(AudioConfigRecord& record, const PathString& path) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  record.AssignFileBytes(ReadWholeFile(path));
}

void SaveRecord(AudioConfigRecord& record, const PathString& path, const VolumeLevels& levels) {
  if (path.empty()) throw EInOutError(kInOutEmptyPath);
  const PathString chosen = FullExtendedPath(path);
  // The backup goes beside the name as its folder spells it, a short name expanded.
  const PathString given = LongPathOf(chosen);
  const Names names = FindNames(given);
  if (NameTooLong(names.backup, FileCalls().linuxNames)) ThrowError(kInOutNameTooLong);
  CheckBackup(names.backupLook);

  HeldFile held = OpenForSaving(chosen, names.name.find(L'~', NameStart(names.name)) == PathString::npos);
  try {
    const SaveLock lock(held.file);
    const std::vector<std::uint8_t>& before = record.FileBytes();
    // Another program, or another window, saved the file since it was loaded here.
    if (!held.created && !HoldsExactly(held.file, before)) throw EInOutError(kInOutFileChanged);
    WriteBackup(names.name, names.backup, before);
    Remember(given, names);
    const DWORD attributes =
        names.file.listed != Listed::Nothing ? names.file.attributes : held.file.Attributes();
    if (!held.writable || (attributes & kNotReplaceable)) ThrowError(ERROR_ACCESS_DENIED);

    AudioConfigRecord saved = record;
    saved.WriteLevels(levels);
    // The rest of a longer file is as it was, and stays so.
    const std::size_t count = held.created ? saved.FileBytes().size() : kRecordSize;
    try {
      held.file.Rewind();
      held.file.WriteAll(saved.FileBytes().data(), count);
      held.file.Flush();
    } catch (const EInOutError&) {
      // The image follows the file wherever it can be told, so that the next save finds the
      // file as it expects.
      if (!held.created && StillHolds(held.file, saved.FileBytes())) record = std::move(saved);
      throw;
    }
    record = std::move(saved);
  } catch (const EInOutError&) {
    // A file this save made and could not fill is its own to remove: no half-written file.
    if (held.created) {
      held.file = Win32File();
      FileCalls().DeleteFileW(chosen.c_str());
    }
    throw;
  }
  held.file.Close();
}
