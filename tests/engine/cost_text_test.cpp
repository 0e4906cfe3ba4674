// cost_text_test.cpp: cost values to text and back.
#include "engine/cost_text.h"

#include <cmath>
#include <limits>

#include "gtest/gtest.h"

TEST(CostTextTest, ReadsTheLeadingNumber) {
  struct {
    const wchar_t* text;
    double cost;
  } const kCases[] = {
      {L"12.5", 12.5}, {L"0.0", 0.0},   {L"140", 140.0}, {L"3MB", 3.0},   {L"-2.5", -2.5},
      {L"", 0.0},      {L"yes", 0.0},   {L" 7", 7.0},    {L"1e3", 1000.0}, {L"inf", 0.0},
      {L"nan", 0.0},   {L"1e999", 0.0},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.cost, CostFromText(c.text)) << c.text;
}

TEST(CostTextTest, WritesTextThatReadsBackExactly) {
  const double kCosts[] = {0.0, 12.5, 140.0, 0.1, 1.0 / 3.0, 123456789.125, 1e-9, -4.25, 0.28564453125};
  for (double cost : kCosts) EXPECT_EQ(cost, CostFromText(CostToText(cost))) << cost;
  EXPECT_EQ(L"12.5", CostToText(12.5));
  EXPECT_EQ(L"0.1", CostToText(0.1));
  EXPECT_EQ(L"0.0", CostToText(std::numeric_limits<double>::quiet_NaN()));
}
