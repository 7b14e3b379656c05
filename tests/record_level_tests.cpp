#include <set>

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
    for (std::size_t slot = 0; slot < 4; ++slot) expected[kLevelsAt[slot]] = c.stored[slot];
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
      {2, "File not found"}, {3, "Invalid filename"}, {4, "Too many open files"}, {5, "File access denied"},
      {32, "I/O error 32"},  {112, "I/O error 112"},  {206, "I/O error 206"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(InOutMessage(c.code), c.message);
    const EInOutError error(c.code);
    EXPECT_EQ(error.Code(), c.code);
    EXPECT_STREQ(error.what(), c.message);
  }
}

// Our own refusals: each its own text, a sentence or more, never taken for a platform's number.
TEST(InOutErrorTest, OwnRefusalsHaveTextsOfTheirOwn) {
  const int codes[] = {kInOutEmptyPath,      kInOutFileTooShort,       kInOutFileTooLarge,
                       kInOutFileChanged,    kInOutFileEmpty,          kInOutBackupProtected,
                       kInOutBrokenLink,     kInOutTemporaryNameTaken, kInOutBackupCaseTwin,
                       kInOutBackupLoneTwin, kInOutFileReplaced,       kInOutNotAFile};
  std::set<std::string> texts;
  for (const int code : codes) {
    const std::string text = InOutMessage(code);
    EXPECT_EQ(text.find("I/O error"), std::string::npos) << code;
    EXPECT_GT(text.size(), 15u) << code;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(codes));
}
