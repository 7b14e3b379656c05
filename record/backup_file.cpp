#include "record/backup_file.h"

#include <algorithm>

namespace {

// Far more than killed saves in a row ever leave; past it, something else fills the names.
constexpr int kMostTemporaries = 1000;

bool NotSupported(DWORD error) {
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}

// Wine shows a file's mode as rights that include running it, and turns them back into the x
// bits of a new file: a backup is never run, so its rights leave that out (a file of mode 600
// gives a backup of 640, not 750, under the usual umask). The descriptor is the self-relative
// one GetKernelObjectSecurity gives.
void DropRunRight(std::vector<BYTE>& descriptor) {
  const auto* header = reinterpret_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(descriptor.data());
  if (descriptor.size() < sizeof *header || !(header->Control & SE_DACL_PRESENT) || header->Dacl == 0 ||
      header->Dacl > descriptor.size() - sizeof(ACL))
    return;
  auto* acl = reinterpret_cast<ACL*>(descriptor.data() + header->Dacl);
  BYTE* ace = reinterpret_cast<BYTE*>(acl + 1);
  const BYTE* end = descriptor.data() + std::min<std::size_t>(descriptor.size(), header->Dacl + acl->AclSize);
  for (WORD i = 0; i < acl->AceCount && ace + sizeof(ACCESS_ALLOWED_ACE) <= end; ++i) {
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType == ACCESS_ALLOWED_ACE_TYPE) {
      if (allowed->Mask & GENERIC_ALL) allowed->Mask = (allowed->Mask & ~GENERIC_ALL) | FILE_ALL_ACCESS;
      allowed->Mask &= ~(FILE_EXECUTE | GENERIC_EXECUTE);
    }
    if (allowed->Header.AceSize == 0) return;
    ace += allowed->Header.AceSize;
  }
}

// The file's access rights as a security descriptor for the temporary, so the backup is no
// easier to read than the file (under Wine its mode follows). Empty where the file system keeps
// none, and for a read-only file, whose rights under Wine are its mode and so would make the
// backup read-only too: the temporary then gets the folder's.
std::vector<BYTE> RightsOf(Win32File& file, DWORD attributes) {
  std::vector<BYTE> descriptor(256);
  const auto getSecurity = FileCalls().GetKernelObjectSecurity;
  if (getSecurity == nullptr || (attributes & FILE_ATTRIBUTE_READONLY)) return {};
  DWORD needed = 0;
  while (!getSecurity(file.Get(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor.data(),
                      static_cast<DWORD>(descriptor.size()), &needed)) {
    const DWORD error = GetLastError();
    if (NotSupported(error)) return {};
    if (error != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) ThrowError(error);
    descriptor.resize(needed);
  }
  if (FileCalls().linuxNames) DropRunRight(descriptor);
  return descriptor;
}

bool MoveOver(const PathString& from, const PathString& to) {
  return FileCalls().MoveFileExW(from.c_str(), to.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// A name the rename could not replace: something that no save of ours left, or one held open.
[[noreturn]] void ThrowTaken(const PathString& path) {
  throw EInOutError(kInOutTemporaryNameTaken, LastNameForMessage(path));
}

// Windows refuses to rename over a file another program holds open with 5, as for a file the
// user may not replace; the sharing violation is the cause worth telling.
[[noreturn]] void ThrowBackupRefused(const PathString& backup, DWORD error) {
  if (error == ERROR_ACCESS_DENIED) {
    const Win32File probe =
        Win32File::Open(backup, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS);
    if (!probe && GetLastError() == ERROR_SHARING_VIOLATION) error = ERROR_SHARING_VIOLATION;
  }
  ThrowError(error);
}

}  // namespace

void WriteBackup(const SaveNames& names, Win32File& file, DWORD attributes,
                 const std::vector<std::uint8_t>& bytes) {
  const std::size_t start = NameStart(names.name);
  std::vector<BYTE> rights = RightsOf(file, attributes);
  SECURITY_ATTRIBUTES security{sizeof security, rights.empty() ? nullptr : rights.data(), FALSE};
  std::vector<PathString> leftovers;
  Win32File temporary;
  PathString at;
  for (int attempt = 0; !temporary; ++attempt) {
    if (attempt == kMostTemporaries) ThrowTaken(BackupTemporaryPath(names.name, 0));
    at = BackupTemporaryPath(names.name, attempt);
    const Look look = LookIn(names.listed, at.substr(start));
    // Another file's temporary, differing only in letter case, is left alone.
    if (look.listed == Listed::OtherCase) continue;
    if (look.listed == Listed::Exactly) {
      leftovers.push_back(at);
      continue;
    }
    temporary =
        Win32File::Open(at, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, &security);
    DWORD error = temporary ? 0 : GetLastError();
    // The file's owner is named with its rights: a file of another user's, which this one may
    // write through its group, refuses that owner, and then gives the temporary the folder's.
    if ((error == ERROR_INVALID_OWNER || error == ERROR_ACCESS_DENIED) && security.lpSecurityDescriptor) {
      security.lpSecurityDescriptor = nullptr;
      temporary =
          Win32File::Open(at, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, &security);
      error = temporary ? 0 : GetLastError();
    }
    // Made since the folder was looked at, or a link that leads nowhere: not ours to take.
    if (error != 0 && error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ThrowError(error);
  }

  try {
    temporary.WriteAll(bytes.data(), bytes.size());
    temporary.Flush();
    temporary.Close();
    // From the last leftover to the first, so a save killed on the way leaves them as it found
    // them, less some.
    for (auto leftover = leftovers.rbegin(); leftover != leftovers.rend(); ++leftover) {
      if (!MoveOver(at, *leftover)) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) ThrowTaken(*leftover);
        ThrowError(error);
      }
      at = *leftover;
    }
    if (!MoveOver(at, names.backup)) ThrowBackupRefused(names.backup, GetLastError());
  } catch (const EInOutError&) {
    temporary = Win32File();
    FileCalls().DeleteFileW(at.c_str());  // our own file; the error that brought us here is the one to report
    throw;
  }
}

void FlushFolderOf(const PathString& path) {
  PathString folder = path.substr(0, NameStart(path));
  // A drive's root keeps its separator; any other folder is named without it.
  if (folder.size() > 1 && folder[folder.size() - 2] != L':') folder.pop_back();
  // Windows flushes a folder only through a handle that may write it.
  Win32File handle = Win32File::Open(folder, GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS);
  if (!handle) {
    const DWORD error = GetLastError();
    if (NotSupported(error)) return;
    ThrowError(error);
  }
  if (!FileCalls().FlushFileBuffers(handle.Get())) {
    const DWORD error = GetLastError();
    if (NotSupported(error)) return;
    ThrowError(error);
  }
  handle.Close();
}
