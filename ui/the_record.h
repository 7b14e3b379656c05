#pragma once
// The one record image the window edits, loaded and saved through the platform's file system.
#include <array>

#include "record/record_io.h"

// All zeros until the first load.
AudioConfigRecord& TheRecord();
void Load(const PathString& path);
void Save(const PathString& path, const std::array<int, 4>& levels);
