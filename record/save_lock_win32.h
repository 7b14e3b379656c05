#pragma once
// One save of a file at a time, among the windows of one Windows logon: a named mutex, named
// from the file's identity so that every spelling of the file takes the same one. (Across
// logons the held file's sharing and the check of its bytes still keep two saves apart.)
#include <memory>

#include "record/file_api.h"
#include "record/win32_file.h"

// Waits a little for a save of the same file under way, then throws kInOutSharingViolation. A
// save that was killed holding the lock gives it up; its file is checked as always.
std::unique_ptr<SaveLock> LockSaveOf(const FileIdentity& file);
// For a file not made yet: its folder, and its name in whatever case.
std::unique_ptr<SaveLock> LockSaveOf(const FileIdentity& folder, const PathString& name);
