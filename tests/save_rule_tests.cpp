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
  EXPECT_STREQ(SaveRefusalText(SaveRefusal::NothingOpened),
               "Open a file first: there is nothing to save yet.");
  const std::string failed = SaveRefusalText(SaveRefusal::OpenFailed);
  EXPECT_NE(failed.find("could not be opened"), std::string::npos);
  EXPECT_NE(failed.find("Open"), std::string::npos);
  EXPECT_EQ(failed.find("record"), std::string::npos);
  EXPECT_STREQ(SaveRefusalText(SaveRefusal::None), "");
}

}  // namespace
