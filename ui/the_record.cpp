#include "ui/the_record.h"

AudioConfigRecord& TheRecord() {
  static AudioConfigRecord record;
  return record;
}

void Load(const PathString& path) { LoadRecord(TheRecord(), path); }

void Save(const PathString& path, const VolumeLevels& levels) { SaveRecord(TheRecord(), path, levels); }
