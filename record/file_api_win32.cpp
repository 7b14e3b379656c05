#include "record/file_api_win32.h"

#include "record/record_file.h"
#include "record/record_io.h"
#include "record/save_lock_win32.h"
#include "record/win32_file.h"
#include "system/system_functions.h"

namespace {

// Wine lets a rename replace any of these, and root can write a read-only file; Windows
// itself refuses them, so refuse them everywhere.
constexpr DWORD kNotReplaceable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// How long a rename under Wine waits out another program's look at the file: up to 0.1 s.
constexpr int kRenameAttempts = 20;
constexpr DWORD kRenameWaitMs = 5;

// Whether something stands at a name no file answers to: a link whose file is gone, which Wine
// hides from every query but this one. A probe made where nothing stood is gone when closed.
bool NameTaken(const PathString& path) {
  const UniqueFile probe(FileCalls().CreateFileW(path.c_str(), DELETE, 0, nullptr, CREATE_NEW,
                                                 FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (probe) return false;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// Never opens what already stands at the name, a link that leads nowhere included. Others may
// read meanwhile.
UniqueFile CreateNew(const PathString& path) {
  UniqueFile handle(FileCalls().CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
  }
  return handle;
}

// Removes a temporary this save made; the error that brought us here is the one to report.
void RemoveQuietly(const PathString& path) { FileCalls().DeleteFileW(path.c_str()); }

// The name a save replaces: the file a link leads to, else the name as the folder spells it
// (FAT would otherwise take the case typed), checked to lead to the file held. Wine can resolve
// a name it cannot spell (audio_cfg.db. reached by its short name) to a neighbour.
PathString TargetOf(PathString& name, const Win32File& file) {
  const PathString final = FinalPathOf(file.Get());
  if (!final.empty() && !SameIgnoringCase(final, name) && Leads(final, file.identity)) {
    name = ListedSpelling(name);
    return final;
  }
  for (const PathString& candidate : {ListedSpelling(name), name, final}) {
    if (!candidate.empty() && Leads(candidate, file.identity)) return name = candidate;
  }
  throw EInOutError(kInOutNameLeadsElsewhere);
}

// Saved anew: locked by the folder and the name, for there is no file yet.
SaveHold BeginNewFile(SaveHold hold) {
  const std::size_t start = NameStart(hold.name);
  // A folder is opened without its last separator, a drive's root (\\?\C:\) with it.
  const bool root = start >= 2 && hold.name[start - 2] == L':';
  const UniqueFile folder = OpenForIdentity(hold.name.substr(0, root ? start : start - 1));
  if (!folder) ThrowLastError();
  hold.lock = LockSaveOf(IdentityOf(folder.get()), hold.name.substr(start));
  hold.target = hold.name;
  return hold;
}

class Win32FileApi final : public FileApi {
 public:
  std::unique_ptr<OpenedFile> OpenForReading(const PathString& path) override {
    UniqueFile handle(FileCalls().CreateFileW(FullExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) ThrowLastError();
    return std::make_unique<Win32File>(std::move(handle));
  }

  SaveHold OpenForSaving(const PathString& path) override {
    SaveHold hold;
    const PathString chosen = FullExtendedPath(path);
    hold.name = LongPathOf(chosen);
    FileIdentity identity;
    {
      const UniqueFile probe = OpenForIdentity(chosen);
      if (!probe) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) ThrowError(error);
        // Windows answers for a link itself, Wine only to a probe that would make a file.
        const DWORD attributes = FileCalls().GetFileAttributesW(chosen.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
          throw EInOutError(kInOutBrokenLink);
        }
        if (error == ERROR_PATH_NOT_FOUND) ThrowError(error);
        if (NameTaken(chosen)) throw EInOutError(kInOutBrokenLink);
        return BeginNewFile(std::move(hold));
      }
      identity = IdentityOf(probe.get());
    }
    if (identity.attributes & FILE_ATTRIBUTE_DIRECTORY) ThrowError(ERROR_ACCESS_DENIED);
    if (identity.links > 1) throw EInOutError(kInOutHardLinked);
    hold.lock = LockSaveOf(identity);
    // Held until the replace: others may read, and the replace may rename over it, but nobody
    // else may write. Asking to write refuses a file the user may not write, on Windows by its
    // rights, under Wine by its mode and owner. A read-only file is refused after its backup.
    const DWORD access = GENERIC_READ | (identity.attributes & FILE_ATTRIBUTE_READONLY ? 0 : GENERIC_WRITE);
    UniqueFile handle(FileCalls().CreateFileW(chosen.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) ThrowLastError();
    auto file = std::make_unique<Win32File>(std::move(handle));
    file->identity = IdentityOf(file->Get());
    // Another save replaced the file while this one waited for it.
    if (!file->identity.SameFile(identity)) throw EInOutError(kInOutFileChanged);
    if (file->identity.attributes & kNotReplaceable) file->refusal = ERROR_ACCESS_DENIED;
    hold.target = TargetOf(hold.name, *file);
    hold.file = std::move(file);
    return hold;
  }

  void CheckBackup(const PathString& backup) override {
    // Whatever stands at the backup's name is only ever replaced as a name, so a link or a
    // second name there leads nowhere; what the user protected is left alone.
    const DWORD attributes = FileCalls().GetFileAttributesW(backup.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) ThrowLastError();
    } else if (attributes & (kNotReplaceable | FILE_ATTRIBUTE_DIRECTORY)) {
      throw EInOutError(kInOutBackupProtected);
    }
  }

  void CheckReplaceable(const SaveHold& hold) override {
    const auto* file = static_cast<const Win32File*>(hold.file.get());
    if (file != nullptr && file->refusal != 0) ThrowError(file->refusal);
  }

  std::unique_ptr<OpenedFile> CreateTemporary(const PathString& beside, PathString& path) override {
    for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
      const PathString candidate = TemporaryPath(beside, attempt);
      if (UniqueFile handle = CreateNew(candidate)) {
        path = candidate;
        return std::make_unique<Win32File>(std::move(handle));
      }
    }
    throw EInOutError(kInOutTemporaryNamesTaken);
  }

  void ReplaceBackup(const PathString& from, const PathString& to) override {
    if (!FileCalls().MoveFileExW(from.c_str(), to.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD error = GetLastError();
      RemoveQuietly(from);
      ThrowError(error);
    }
  }

  void ReplaceTarget(const PathString& from, SaveHold& hold) override {
    auto* file = static_cast<Win32File*>(hold.file.get());
    if (file == nullptr) return MoveInNew(from, hold.target);
    if (FileCalls().replaceByRename) {
      // Wine renames over no file that is open, this save's own handle included, nor one that
      // another program holds for a moment (a second save's first look at it): that is waited
      // out.
      file->CloseQuietly();
      DWORD error = 0;
      for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
        if (attempt > 0) Sleep(kRenameWaitMs);
        CheckStillThere(from, hold.target, *file);
        if (FileCalls().MoveFileExW(from.c_str(), hold.target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
          return;
        }
        error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
      }
      RemoveQuietly(from);
      ThrowError(error);
    }
    // ReplaceFileW keeps the replaced file's security, attributes, creation time, short name and
    // streams, which a rename would lose. It works past the handle held to keep writers out;
    // where it does not (XP), it is tried again without.
    CheckStillThere(from, hold.target, *file);
    DWORD error = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (FileCalls().ReplaceFileW(hold.target.c_str(), from.c_str(), nullptr,
                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return;
      }
      error = GetLastError();
      if (!file->Get() || (error != ERROR_UNABLE_TO_REMOVE_REPLACED && error != ERROR_SHARING_VIOLATION &&
                           error != ERROR_ACCESS_DENIED)) {
        break;
      }
      file->CloseQuietly();
      CheckStillThere(from, hold.target, *file);
    }
    // 1176 and 1177 have taken the file away from its name: the record is then only in the
    // temporary, which is moved in, or kept when even that fails.
    file->CloseQuietly();
    if (Leads(hold.target, file->identity)) {
      RemoveQuietly(from);
      ThrowError(error);
    }
    if (!FileCalls().MoveFileExW(from.c_str(), hold.target.c_str(), MOVEFILE_WRITE_THROUGH)) ThrowLastError();
  }

  void Remove(const PathString& path) override {
    if (!FileCalls().DeleteFileW(path.c_str())) ThrowLastError();
  }

 private:
  // Saved anew: a file that has come back meanwhile is somebody else's.
  static void MoveInNew(const PathString& from, const PathString& target) {
    if (FileCalls().MoveFileExW(from.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return;
    const DWORD error = GetLastError();
    RemoveQuietly(from);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) throw EInOutError(kInOutFileChanged);
    ThrowError(error);
  }

  // The name still leads to the file whose bytes the save compared, as late as can be.
  static void CheckStillThere(const PathString& from, const PathString& target, const Win32File& file) {
    if (Leads(target, file.identity)) return;
    RemoveQuietly(from);
    throw EInOutError(kInOutFileChanged);
  }
};

}  // namespace

Win32FileCalls& FileCalls() {
  static Win32FileCalls calls = [] {
    Win32FileCalls table;
    table.GetFinalPathNameByHandleW = kGetFinalPathNameByHandleW.Find();
    table.replaceByRename = RunningOnWine();
    return table;
  }();
  return calls;
}

FileApi& DefaultFileApi() {
  static Win32FileApi files;
  return files;
}

void LoadRecord(AudioConfigRecord& record, const PathString& path) { Load(record, DefaultFileApi(), path); }

void SaveRecord(AudioConfigRecord& record, const PathString& path, const VolumeLevels& levels) {
  Save(record, DefaultFileApi(), path, levels);
}
