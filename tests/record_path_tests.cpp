// The names a save forms from the path's text alone.
#include "record_test_support.h"

TEST(RecordPathTest, NamesAreFormedFromTheTextAlone) {
  const struct {
    PathString full, extended;
  } cases[] = {
      {L"C:\\d\\audio_cfg.db", L"\\\\?\\C:\\d\\audio_cfg.db"},
      {L"C:\\d\\audio_cfg.db. .", L"\\\\?\\C:\\d\\audio_cfg.db"},  // Windows drops a trailing dot and space
      {L"C:\\d. \\a b", L"\\\\?\\C:\\d. \\a b"},                   // only the last name's
      {L"\\\\server\\share\\audio_cfg.db", L"\\\\?\\UNC\\server\\share\\audio_cfg.db"},
      {L"\\\\?\\C:\\d\\audio_cfg.db.", L"\\\\?\\C:\\d\\audio_cfg.db."},  // taken as it is
      {L"\\\\.\\C:\\d\\x", L"\\\\.\\C:\\d\\x"},
      {L"C:\\", L"\\\\?\\C:\\"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExtendedPath(c.full), c.extended);
  EXPECT_EQ(NameStart(L"C:\\d/x.db"), 5u);
  EXPECT_EQ(NameStart(L"x.db"), 0u);
  EXPECT_EQ(BackupPath(L"d/a.txt"), L"d/a.txt.bak");
  // Every temporary is a name of its own, and no longer than the backup's.
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(BackupTemporaryPath(L"d/a", i).size(), BackupPath(L"d/a").size());
    for (int j = 0; j < i; ++j) EXPECT_NE(BackupTemporaryPath(L"d/a", i), BackupTemporaryPath(L"d/a", j));
  }
}

TEST(RecordPathTest, NamesPastTheLimitAreToldApart) {
  const std::wstring cyrillic(127, L'\x0430');  // two bytes each in UTF-8
  const std::wstring clef = L"\xD834\xDD1E";    // one character, a surrogate pair: four bytes
  const struct {
    PathString path;
    bool windows, onLinux;
  } cases[] = {
      {L"C:\\d\\" + std::wstring(255, L'n'), false, false},
      {L"C:\\d\\" + std::wstring(256, L'n'), true, true},
      {std::wstring(300, L'd') + L"\\x", false, false},     // only the last name counts
      {L"d/" + cyrillic + L"a", false, false},              // 255 bytes
      {L"d/" + cyrillic + L"ab", false, true},              // 256 bytes, 129 units
      {L"d/" + std::wstring(85, L'\x4E2D'), false, false},  // three bytes each: 255
      {L"d/" + std::wstring(86, L'\x4E2D'), false, true},
      {L"d/" + std::wstring(251, L'n') + clef, false, false},
      {L"d/" + std::wstring(252, L'n') + clef, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NameTooLong(c.path, false), c.windows) << c.path.size();
    EXPECT_EQ(NameTooLong(c.path, true), c.onLinux) << c.path.size();
  }
}
