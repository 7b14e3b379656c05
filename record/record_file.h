#pragma once
// The record moved between the image and a file on disk, through the platform's file system.
#include "record/audio_config_record.h"
#include "record/in_out_error.h"
#include "record/path_names.h"

// Fills the image from the file at path; throws EInOutError and leaves the image as it was.
void LoadRecord(AudioConfigRecord& record, const PathString& path);
// Writes the image as it stands to the backup, then the image with levels to the file; the
// image takes levels only once both are written. Throws EInOutError.
void SaveRecord(AudioConfigRecord& record, const PathString& path, const VolumeLevels& levels);
