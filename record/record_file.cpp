// Loading and saving the record through the Win32 file system.
//
// A save writes the record into the file itself, through the handle it holds, never a new file
// over it: so the file stays what it was (its id, links, owner, mode, security, attributes,
// streams and name). It writes only the level bytes that change, and only once the backup is
// whole and durable and the file has just been found to hold what was loaded: a save killed, or
// a power loss, at any instant leaves each level old or new and every other byte as it was, and
// another program's bytes written meanwhile stay.
#include "record/record_file.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "record/backup_file.h"
#include "record/save_lock.h"
#include "record/save_names.h"
#include "record/win32_file.h"
#include "record/win32_names.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

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

// A pipe or a device answers to a name too; reading one would wait for a writer, or for ever.
void RequireOnDisk(Win32File& file) {
  if (!file.OnDisk()) throw EInOutError(kInOutNotAFile);
}

Bytes ReadWholeFile(const PathString& path) {
  Win32File file = OpenShared(FullExtendedPath(path), GENERIC_READ, OPEN_EXISTING);
  if (!file) ThrowLastError();
  RequireOnDisk(file);
  const std::uint64_t size = file.Size();
  if (size == 0) throw EInOutError(kInOutFileEmpty);
  if (size < kRecordSize) throw EInOutError(kInOutFileTooShort);
  if (size > kMaxFileSize) throw EInOutError(kInOutFileTooLarge);
  Bytes bytes(static_cast<std::size_t>(size));
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
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
  // Another program made a file there just now; or nothing answers to the name, yet something
  // stands there: a link whose file is gone.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  throw EInOutError(Attributes(path, data) ? kInOutFileChanged : kInOutBrokenLink);
}

// Compares the file as it is now with what this program last loaded or saved. Times would not
// do: FAT keeps them to two seconds.
bool HoldsExactly(Win32File& file, const Bytes& expected) {
  file.Rewind();
  // One byte more than expected shows a file that grew.
  Bytes bytes(expected.size() + 1);
  return file.ReadUpTo(bytes.data(), bytes.size()) == expected.size() &&
         std::equal(expected.begin(), expected.end(), bytes.begin());
}

// What the file holds now, when it is the image with each level old or new; else nothing.
std::optional<Bytes> LevelsOldOrNew(Win32File& file, const Bytes& before, const Bytes& after) {
  Bytes now(before.size() + 1);
  now.resize(file.ReadUpTo(now.data(), now.size()));
  if (now.size() != before.size()) return std::nullopt;
  Bytes expected = before;
  for (const std::size_t at : kLevelOffsets) {
    if (now[at] == after[at]) expected[at] = after[at];
  }
  if (now != expected) return std::nullopt;
  return now;
}

// After a failure the image follows the file wherever it can be told, so that the next save
// finds the file as it expects.
void FollowFile(Win32File& file, AudioConfigRecord& record, const Bytes& after) {
  try {
    file.Rewind();
    if (auto now = LevelsOldOrNew(file, record.FileBytes(), after)) record.AssignFileBytes(std::move(*now));
  } catch (const EInOutError&) {
  }
}

// Writes the level bytes of after that differ from before, each where it stands, and nothing
// else: what another program wrote elsewhere in the file meanwhile stays.
void WriteLevels(Win32File& file, const Bytes& before, const Bytes& after) {
  for (const std::size_t at : kLevelOffsets) {
    if (before[at] == after[at]) continue;
    file.Seek(static_cast<std::int64_t>(at));
    file.WriteAll(&after[at], 1);
  }
}

// Whether the name still leads to the file this save wrote, with the new levels in it. Another
// program outside this Windows session (a Linux program, another Wine prefix, a PC sharing the
// folder) is kept out by neither sharing nor the lock, and may have replaced it by a rename.
bool StillTheFileSaved(const PathString& path, Win32File& held, const Bytes& after) {
  Win32File byName = Win32File::Open(path, GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
  if (!byName) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return false;
    ThrowError(error);
  }
  // The name is in the folder the file was opened in: a file renamed over it is on its volume.
  if (held.Index() != byName.Index()) return false;
  Bytes now(kLevelOffsets.back() + 1);
  if (byName.ReadUpTo(now.data(), now.size()) != now.size()) return false;
  byName.Close();
  return std::all_of(kLevelOffsets.begin(), kLevelOffsets.end(),
                     [&](std::size_t at) { return now[at] == after[at]; });
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
  const SaveNames names = FindSaveNames(LongPathOf(chosen));
  if (NameTooLong(names.backup, FileCalls().linuxNames)) ThrowError(kInOutNameTooLong);
  CheckBackup(names);

  HeldFile held = OpenForSaving(chosen, names.name.find(L'~', NameStart(names.name)) == PathString::npos);
  // A file this save made and could not fill is its own to remove: no half-written file. Once
  // written whole it stays, as what stands at its name then may be another program's.
  bool removeOnFailure = held.created;
  try {
    RequireOnDisk(held.file);
    const SaveLock lock(held.file);
    const Bytes& before = record.FileBytes();
    // Another program, or another window, saved the file since it was loaded here.
    if (!held.created && !HoldsExactly(held.file, before)) throw EInOutError(kInOutFileChanged);
    const DWORD attributes =
        names.file.listed != Listed::Nothing ? names.file.attributes : held.file.Attributes();
    WriteBackup(names, held.file, attributes, before);
    FlushFolderOf(names.backup);
    if (!held.writable || (attributes & kNotReplaceable)) ThrowError(ERROR_ACCESS_DENIED);

    AudioConfigRecord saved = record;
    saved.WriteLevels(levels);
    const Bytes& after = saved.FileBytes();
    // Again at the last moment: a program outside this session may have written it meanwhile.
    if (!held.created && !HoldsExactly(held.file, before)) throw EInOutError(kInOutFileChanged);
    try {
      if (held.created) {
        held.file.Rewind();
        held.file.WriteAll(after.data(), after.size());
      } else {
        WriteLevels(held.file, before, after);
      }
      held.file.Flush();
      removeOnFailure = false;
      if (!StillTheFileSaved(chosen, held.file, after)) throw EInOutError(kInOutFileReplaced);
    } catch (const EInOutError&) {
      if (!removeOnFailure) FollowFile(held.file, record, after);
      throw;
    }
    record = std::move(saved);
  } catch (const EInOutError&) {
    if (removeOnFailure) {
      held.file = Win32File();
      FileCalls().DeleteFileW(chosen.c_str());
    }
    throw;
  }
  held.file.Close();
}
