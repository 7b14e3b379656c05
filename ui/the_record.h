#pragma once
// The one record image the window edits, loaded and saved through the platform's file system.
#include "record/record_file.h"

// All zeros until the first load.
AudioConfigRecord& TheRecord();
void Load(const PathString& path);
void Save(const PathString& path, const VolumeLevels& levels);
