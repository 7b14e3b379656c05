#include "record/backup_file.h"

#include <algorithm>
#include <cstddef>

namespace {

// Far more than killed saves in a row ever leave; past it, something else fills the names.
constexpr int kMostTemporaries = 1000;

bool NotSupported(DWORD error) {
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}

// Under Wine a file's rights are its mode, and a new file's mode is made from the rights it is
// given: the owner's right goes to the owner and the owner's group alike, a right to run becomes
// x bits, and SYSTEM's goes nowhere. Given to SYSTEM as the descriptor's owner, the owner's right
// goes to the owner alone, and Wine keeps no owner but the Unix one: so the file's rights, its
// owner's given to SYSTEM, and without running, give the backup the file's own mode (600 for 600).
// The descriptor is the self-relative one GetKernelObjectSecurity gives.
std::vector<BYTE> AsWineMode(const std::vector<BYTE>& descriptor) {
  static const BYTE kSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};  // S-1-5-18
  using Header = SECURITY_DESCRIPTOR_RELATIVE;
  const auto* header = reinterpret_cast<const Header*>(descriptor.data());
  if (descriptor.size() < sizeof(Header) || !(header->Control & SE_DACL_PRESENT) || header->Dacl == 0 ||
      header->Owner == 0 || header->Dacl > descriptor.size() - sizeof(ACL) ||
      header->Owner >= descriptor.size())
    return descriptor;
  const BYTE* owner = descriptor.data() + header->Owner;
  const std::size_t ownerSize = 8 + 4 * std::size_t{owner[1]};
  const auto* acl = reinterpret_cast<const ACL*>(descriptor.data() + header->Dacl);
  const BYTE* end = descriptor.data() + std::min<std::size_t>(descriptor.size(), header->Dacl + acl->AclSize);
  std::vector<BYTE> made(sizeof(Header) + sizeof kSystem + sizeof(ACL));
  ACL list = *acl;
  list.AceCount = 0;
  const BYTE* ace = reinterpret_cast<const BYTE*>(acl + 1);
  for (WORD i = 0; i < acl->AceCount && ace + sizeof(ACCESS_ALLOWED_ACE) <= end; ++i) {
    const auto* entry = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
    const WORD size = entry->Header.AceSize;
    if (size < sizeof(ACCESS_ALLOWED_ACE) || ace + size > end) return descriptor;
    const BYTE* sid = reinterpret_cast<const BYTE*>(&entry->SidStart);
    const std::size_t sidSize = size - offsetof(ACCESS_ALLOWED_ACE, SidStart);
    const bool isOwner = sidSize >= ownerSize && std::equal(owner, owner + ownerSize, sid);
    const bool isSystem = sidSize >= sizeof kSystem && std::equal(kSystem, kSystem + sizeof kSystem, sid);
    ace += size;
    if (entry->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || isSystem) continue;
    ACCESS_ALLOWED_ACE copy = *entry;
    if (copy.Mask & GENERIC_ALL) copy.Mask = (copy.Mask & ~GENERIC_ALL) | FILE_ALL_ACCESS;
    copy.Mask &= ~(FILE_EXECUTE | GENERIC_EXECUTE);
    const BYTE* copySid = isOwner ? kSystem : sid;
    const std::size_t copySidSize = isOwner ? sizeof kSystem : sidSize;
    copy.Header.AceSize = static_cast<WORD>(offsetof(ACCESS_ALLOWED_ACE, SidStart) + copySidSize);
    const BYTE* fixed = reinterpret_cast<const BYTE*>(&copy);
    made.insert(made.end(), fixed, fixed + offsetof(ACCESS_ALLOWED_ACE, SidStart));
    made.insert(made.end(), copySid, copySid + copySidSize);
    ++list.AceCount;
  }
  list.AclSize = static_cast<WORD>(made.size() - sizeof(Header) - sizeof kSystem);
  Header madeHeader{};
  madeHeader.Revision = SECURITY_DESCRIPTOR_REVISION;
  madeHeader.Control = SE_SELF_RELATIVE | SE_DACL_PRESENT;
  madeHeader.Owner = sizeof(Header);
  madeHeader.Dacl = sizeof(Header) + sizeof kSystem;
  std::copy_n(reinterpret_cast<const BYTE*>(&madeHeader), sizeof(Header), made.begin());
  std::copy_n(kSystem, sizeof kSystem, made.begin() + sizeof(Header));
  std::copy_n(reinterpret_cast<const BYTE*>(&list), sizeof(ACL), made.begin() + madeHeader.Dacl);
  return made;
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
  return FileCalls().linuxNames ? AsWineMode(descriptor) : descriptor;
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
