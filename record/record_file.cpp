// Loading and saving the record through the Win32 file system.
//
// A save writes the record into the file itself, through the handle it holds, never a new file
// over it: so the file stays what it was (its id, links, owner, mode, security, attributes,
// streams and name). That is as safe as replacing it: only the four level bytes can differ from
// what is on disk, the rest has just been read and found equal to the image, and the backup is
// whole and flushed before the first of them is written. A save killed, or a power loss, at any
// instant leaves each level old or new and every other byte as it was.
#include "record/record_file.h"

#include <array>
#include <cwchar>
#include <utility>
#include <vector>

#include "record/win32_file.h"

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

// The file a save writes, held from the open to the end. writable is false for a file that
// may be read only: its backup is still written, then the save is refused.
struct HeldFile {
  Win32File file;
  bool created = false;
  bool writable = true;
};

HeldFile OpenForSaving(const PathString& path) {
  HeldFile held{OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING)};
  if (held.file) return held;
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    // Asking to write refuses a file the user may not write (on Windows by its rights, under
    // Wine by its mode and owner) before anything is written; a read-only one gets its backup.
    const DWORD attributes = FileCalls().GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !(attributes & FILE_ATTRIBUTE_READONLY)) {
      ThrowError(error);
    }
    held.file = OpenShared(path, GENERIC_READ, OPEN_EXISTING);
    if (!held.file) ThrowLastError();
    held.writable = false;
    return held;
  }
  if (error != ERROR_FILE_NOT_FOUND) ThrowError(error);
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
  if (file.Size() != expected.size()) return false;
  std::vector<std::uint8_t> bytes(expected.size());
  return file.ReadUpTo(bytes.data(), bytes.size()) == bytes.size() && bytes == expected;
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

// How the folder lists a name the save wants. Under Wine a name that does not exist as spelled
// is looked up regardless of case, which would reach another file's name (audio_cfg.db.bak
// for AUDIO_CFG.DB.bak): such a name is listed in another case only.
enum class Listed { Nothing, Exactly, OtherCase };
struct Look {
  Listed listed = Listed::Nothing;
  PathString spelling;
  DWORD attributes = 0;
};
Look LookUp(const std::vector<ListedName>& names, const PathString& wanted) {
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

// The file's folder as the save finds it, from one look: the file's name as listed (FAT keeps
// the case it was made with, and Wine may have reached it in another case), its attributes,
// and what stands at the backup's and the temporaries' names beside it.
struct Beside {
  PathString name;  // full path, the last name spelled as listed
  Look file, backup;
  std::array<Listed, kBackupTemporaries> temporaries{};
};
Beside LookBeside(const PathString& path) {
  const std::vector<ListedName> names = ListNamesStartingWith(path);
  const std::size_t start = NameStart(path);
  Beside beside;
  beside.file = LookUp(names, path.substr(start));
  beside.name = beside.file.listed == Listed::Nothing ? path : path.substr(0, start) + beside.file.spelling;
  const PathString spelled = beside.name.substr(start);
  beside.backup = LookUp(names, BackupPath(spelled));
  for (int i = 0; i < kBackupTemporaries; ++i)
    beside.temporaries[i] = LookUp(names, BackupTemporaryPath(spelled, i)).listed;
  return beside;
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
void WriteBackup(const Beside& beside, const PathString& backup, const std::vector<std::uint8_t>& bytes) {
  Win32File temporary;
  std::vector<int> leftovers;
  int mine = 0;
  for (; mine < kBackupTemporaries; ++mine) {
    const Listed listed = beside.temporaries[mine];
    if (listed == Listed::OtherCase) continue;  // another file's, differing only in letter case
    if (listed == Listed::Nothing) {
      temporary = OpenShared(BackupTemporaryPath(beside.name, mine), GENERIC_WRITE, CREATE_NEW);
      if (temporary) break;
      const DWORD error = GetLastError();
      // Listed nowhere, yet taken: a link that leads nowhere, which goes as a name too.
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
    }
    leftovers.push_back(mine);
  }
  if (!temporary) throw EInOutError(kInOutTemporaryNamesTaken);

  PathString at = BackupTemporaryPath(beside.name, mine);
  try {
    temporary.WriteAll(bytes.data(), bytes.size());
    temporary.Flush();
    temporary.Close();
    for (auto leftover = leftovers.rbegin(); leftover != leftovers.rend(); ++leftover) {
      const PathString next = BackupTemporaryPath(beside.name, *leftover);
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
  const Beside beside = LookBeside(LongPathOf(chosen));
  const PathString backup = BackupPath(beside.name);
  if (NameTooLong(backup, FileCalls().linuxNames)) ThrowError(kInOutNameTooLong);
  CheckBackup(beside.backup);

  HeldFile held = OpenForSaving(chosen);
  try {
    const SaveLock lock(held.file);
    const std::vector<std::uint8_t>& before = record.FileBytes();
    // Another program, or another window, saved the file since it was loaded here.
    if (!held.created && !HoldsExactly(held.file, before)) throw EInOutError(kInOutFileChanged);
    WriteBackup(beside, backup, before);
    const DWORD attributes =
        beside.file.listed != Listed::Nothing ? beside.file.attributes : held.file.Attributes();
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
