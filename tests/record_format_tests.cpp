// The file format pinned on its own: literal offsets and committed sample files, so that a typo
// in the offsets or two swapped slots fails here, not only in the window tests.
#include "record_test_support.h"

namespace {

Bytes Sample(const char* name) {
  const fs::path path = RecordDataFolder() / name;
  const Bytes bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size(), 5156u) << Utf8(path);
  return bytes;
}

}  // namespace

TEST(RecordFormatTest, LevelOffsetsInSlotOrder) {
  EXPECT_EQ(kRecordSize, 5156u);
  EXPECT_EQ(kLevelOffsets, (std::array<std::size_t, 4>{397, 409, 433, 889}));
}

TEST(RecordFormatTest, SaveTurnsTheSampleIntoItsSavedPair) {
  const Bytes before = Sample("audio_cfg_before.db");
  const Bytes after = Sample("audio_cfg_after.db");
  ASSERT_EQ(before.size(), kRecordSize);
  ASSERT_EQ(after.size(), kRecordSize);

  TempDir dir;
  const fs::path file = dir / "audio_cfg.db";
  WriteBytes(file, before);
  AudioConfigRecord record;
  LoadRecord(record, file.native());
  EXPECT_EQ(record.ReadLevels(), (VolumeLevels{3, 5, 1, 6}));
  SaveRecord(record, file.native(), {1, 2, 3, 4});
  EXPECT_EQ(ReadBytes(file), after);
  EXPECT_EQ(ReadBytes(dir / "audio_cfg.db.bak"), before);

  // The pair differs at the four literal offsets and nowhere else.
  std::vector<std::size_t> differing;
  for (std::size_t i = 0; i < kRecordSize; ++i) {
    if (before[i] != after[i]) differing.push_back(i);
  }
  EXPECT_EQ(differing, (std::vector<std::size_t>{397, 409, 433, 889}));
  EXPECT_EQ(after[397], 1);
  EXPECT_EQ(after[409], 2);
  EXPECT_EQ(after[433], 3);
  EXPECT_EQ(after[889], 4);
}
