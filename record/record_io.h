#pragma once

#include <array>
#include <cstdint>

#include "record/audio_config_record.h"
#include "record/file_api.h"
#include "record/in_out_error.h"

// Larger files are refused: no audio configuration file comes near this, and it keeps a wrong
// choice in the open dialog from filling memory.
constexpr std::uint64_t kMaxFileSize = 64u * 1024 * 1024;

// Fills the image from the file. The image changes only when the whole file was read; a file
// shorter than one record or longer than kMaxFileSize is refused.
void Load(AudioConfigRecord& record, FileApi& files, const PathString& path);

// Writes the image as it stands to the backup, then the image with the new levels to the
// file, each through a temporary file that replaces the target only when complete. The image
// takes the new levels only when both files were written. Refused, with nothing written, when
// the file no longer holds the image (another program changed it). A link is followed: the
// file it leads to is replaced, and the backup goes beside the name given.
void Save(AudioConfigRecord& record, FileApi& files, const PathString& path, const VolumeLevels& levels);
