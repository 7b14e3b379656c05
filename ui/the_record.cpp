#include "ui/the_record.h"

#include "record/file_api_win32.h"

AudioConfigRecord& TheRecord() {
  static AudioConfigRecord record;
  return record;
}

void Load(const PathString& path) { Load(TheRecord(), DefaultFileApi(), path); }

void Save(const PathString& path, const std::array<int, 4>& levels) {
  Save(TheRecord(), DefaultFileApi(), path, levels);
}
