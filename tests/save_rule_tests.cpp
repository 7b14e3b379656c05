// The rule that keeps Save from writing a record that was never loaded from the chosen file.
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

#include "ui/save_rule.h"

namespace {

void LoadFine() {}
void LoadFails() { throw std::runtime_error("File not found"); }

TEST(SaveRule, SaveGoesAheadOnlyAfterTheLastChosenFileLoaded) {
  SaveRule rule;
  EXPECT_EQ(rule.Check(), SaveRefusal::NothingOpened);

  EXPECT_THROW(rule.Open(LoadFails), std::runtime_error) << "the load's failure passes on";
  EXPECT_EQ(rule.Check(), SaveRefusal::OpenFailed);

  rule.Open(LoadFine);
  EXPECT_EQ(rule.Check(), SaveRefusal::None);

  // A failed Open after a good one: the path now names the file that failed.
  EXPECT_THROW(rule.Open(LoadFails), std::runtime_error);
  EXPECT_EQ(rule.Check(), SaveRefusal::OpenFailed);
  rule.Open(LoadFine);
  EXPECT_EQ(rule.Check(), SaveRefusal::None);
}

TEST(SaveRule, GuidanceSaysWhatHappenedAndWhatToDoInPlainWords) {
  const std::string nothing = SaveRefusalText(SaveRefusal::NothingOpened);
  const std::string failed = SaveRefusalText(SaveRefusal::OpenFailed);
  EXPECT_NE(nothing, failed);
  for (const std::string& text : {nothing, failed}) {
    EXPECT_NE(text.find("Open"), std::string::npos) << text << ": says what to do";
    EXPECT_EQ(text.find("record"), std::string::npos) << text << ": in the user's words";
    EXPECT_EQ(text.back(), '.') << text;
  }
  EXPECT_STREQ(SaveRefusalText(SaveRefusal::None), "");
}

}  // namespace
