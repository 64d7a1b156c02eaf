// The Options dialog's number fields: stored only when all are in range.

#include <gtest/gtest.h>

#include "container/options_numbers.h"

namespace plumex::container {
namespace {

SettingsRecord::SizeAndPos sample(std::uint32_t size, std::uint32_t pos) {
  SettingsRecord::SizeAndPos s;
  s.windowSize = size;
  s.pos = pos;
  s.customWidth = 640;
  s.customHeight = 480;
  s.customLeft = 10;
  s.customTop = 20;
  return s;
}

TEST(OptionNumbers, UneditedFieldsStoreWhatWasThere) {
  for (std::uint32_t size : {0u, 3u, 4u}) {
    SettingsRecord::SizeAndPos s = sample(size, 9);
    if (size == 4) s.customHeight = 50;
    const SettingsRecord::SizeAndPos before = s;
    EXPECT_EQ(storeOptionNumbers(optionNumbersFor(s), s), std::nullopt);
    EXPECT_EQ(s.customWidth, before.customWidth);
    EXPECT_EQ(s.customHeight, before.customHeight);
    EXPECT_EQ(s.customLeft, before.customLeft);
    EXPECT_EQ(s.customTop, before.customTop);
  }
}

TEST(OptionNumbers, PercentModeKeepsThePercentageInTheHeight) {
  SettingsRecord::SizeAndPos s = sample(4, 4);
  OptionNumbers n = optionNumbersFor(sample(3, 4));
  n.percent = " 50 ";
  ASSERT_EQ(storeOptionNumbers(n, s), std::nullopt);
  EXPECT_EQ(s.customHeight, 50);
  EXPECT_EQ(s.customWidth, 640);
}

TEST(OptionNumbers, AFieldOutOfRangeIsNamedAndNothingIsStored) {
  struct Case {
    std::string OptionNumbers::*field;
    const char* text;
    std::uint32_t pos;
    const char* named;  // nullptr: accepted
  } cases[] = {
      {&OptionNumbers::width, "65535", 9, nullptr},
      {&OptionNumbers::width, "65536", 9, "\"Width\""},
      {&OptionNumbers::height, "-1", 9, "\"Height\""},
      {&OptionNumbers::height, "", 9, "\"Height\""},
      {&OptionNumbers::height, "4x", 9, "\"Height\""},
      {&OptionNumbers::percent, "0", 9, "\"Percent\""},
      {&OptionNumbers::percent, "101", 9, "\"Percent\""},
      {&OptionNumbers::percent, "100", 9, nullptr},
      {&OptionNumbers::left, "100", 10, nullptr},
      {&OptionNumbers::left, "101", 10, "\"Left\""},
      {&OptionNumbers::top, "5000", 9, nullptr},
      {&OptionNumbers::top, "5000", 10, "\"Top\""},
      {&OptionNumbers::top, "99999999999", 9, "\"Top\""},
  };
  for (const Case& c : cases) {
    SettingsRecord::SizeAndPos s = sample(3, c.pos);
    OptionNumbers n = optionNumbersFor(s);
    n.*c.field = c.text;
    const auto message = storeOptionNumbers(n, s);
    if (!c.named) {
      EXPECT_EQ(message, std::nullopt) << c.text;
      continue;
    }
    ASSERT_TRUE(message) << c.text;
    EXPECT_NE(message->find(c.named), std::string::npos) << *message;
    EXPECT_EQ(s.customWidth, 640) << c.text;
    EXPECT_EQ(s.customHeight, 480) << c.text;
    EXPECT_EQ(s.customLeft, 10) << c.text;
    EXPECT_EQ(s.customTop, 20) << c.text;
  }
}

} // namespace
} // namespace plumex::container
