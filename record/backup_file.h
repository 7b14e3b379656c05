#pragma once
// The backup a save writes before it touches the file: whole, as private as the file, and on
// disk for good before the first level byte is written.
#include <cstdint>
#include <vector>

#include "record/save_names.h"
#include "record/win32_file.h"

// Writes bytes to names.backup through a new temporary beside it, made with the access rights
// of file (whose attributes are given), flushed, then renamed over the backup's name, so the backup is always
// whole. Every leftover of killed saves of this file that names.listed shows is taken over as a name on the
// way (no other save of this file runs: the caller holds its lock).
void WriteBackup(const SaveNames& names, Win32File& file, DWORD attributes,
                 const std::vector<std::uint8_t>& bytes);

// Makes the renames in the folder of path durable. Where the file system cannot flush a folder
// it goes on; any other failure throws.
void FlushFolderOf(const PathString& path);
