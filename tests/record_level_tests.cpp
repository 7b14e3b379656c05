#include "record_test_support.h"

TEST(AudioConfigRecordTest, FreshImageIsAllZeros) {
  AudioConfigRecord record;
  EXPECT_EQ(ImageOf(record), Bytes(kRecordSize, 0));
  EXPECT_EQ(record.ReadLevels(), (VolumeLevels{0, 0, 0, 0}));
}

TEST(AudioConfigRecordTest, LevelsComeFromTheirOffsetsInSlotOrder) {
  const struct {
    VolumeLevels bytes;
    VolumeLevels levels;
  } cases[] = {
      {{3, 5, 1, 6}, {3, 5, 1, 6}},
      {{0, 9, 255, 7}, {0, 9, 255, 7}},  // Out-of-range bytes are reported as they are.
  };
  for (const auto& c : cases) {
    AudioConfigRecord record;
    record.AssignFileBytes(WithLevels(Bytes(kRecordSize, 0), c.bytes));
    EXPECT_EQ(record.ReadLevels(), c.levels);
  }
}

TEST(AudioConfigRecordTest, WriteLevelsStoresLowBitsAndTouchesNothingElse) {
  const struct {
    VolumeLevels written;
    VolumeLevels stored;
  } cases[] = {
      {{2, 2, 2, 2}, {2, 2, 2, 2}},
      {{6, 1, 255, 0}, {6, 1, 255, 0}},
  };
  for (const auto& c : cases) {
    AudioConfigRecord record;
    const Bytes before = Pattern(kRecordSize + 3, 7);
    record.AssignFileBytes(before);
    record.WriteLevels(c.written);
    EXPECT_EQ(record.ReadLevels(), c.stored);
    Bytes expected = before;
    for (std::size_t slot = 0; slot < 4; ++slot) expected[kLevelOffsets[slot]] = c.stored[slot];
    EXPECT_EQ(ImageOf(record), expected);
  }
}

TEST(AudioConfigRecordTest, RefusesAnImageShorterThanARecord) {
  AudioConfigRecord record;
  EXPECT_THROW(record.AssignFileBytes(Bytes(kRecordSize - 1, 1)), std::invalid_argument);
  EXPECT_EQ(ImageOf(record), Bytes(kRecordSize, 0));
}

TEST(InOutErrorTest, MessagesFollowTheTable) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {2, "File not found"},
      {3, "Invalid filename"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {32, "I/O error 32"},
      {112, "I/O error 112"},
      {206, "I/O error 206"},
      {kInOutEmptyPath, "No file name was given"},
      {kInOutFileTooShort, "File is too short to be an audio configuration file"},
      {kInOutFileTooLarge, "File is too large to be an audio configuration file"},
      {kInOutFileEmpty, "The file is empty"},
      {kInOutFileChanged,
       "The file was changed by another program after it was opened. Open it again, then save."},
      {kInOutHardLinked,
       "The file has other names (hard links) that a save would split from it. Copy it to a "
       "file of its own, then save."},
      {kInOutBackupNameTooLong,
       "The backup file's name would be too long. Give the file a shorter name, then save."},
      {kInOutBackupProtected,
       "The backup file (the file's name with .bak added) is a folder, or is read-only, "
       "hidden or a system file, so it was left as it is. Move it away or clear those "
       "attributes, then save."},
      {kInOutBrokenLink,
       "The file's name is a link to a file that no longer exists. Open the file again, then save."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InOutMessage(c.code), c.message);
    const EInOutError error(c.code);
    EXPECT_EQ(error.Code(), c.code);
    EXPECT_STREQ(error.what(), c.message);
  }
}
