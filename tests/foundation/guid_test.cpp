// guid_test.cpp: GUID text forms and fresh values.
#include "foundation/guid.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"

namespace {

const GUID kSample = {0x6B29FC40, 0xCA47, 0x1067, {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}};

}  // namespace

TEST(CGuidTest, FormatWritesUpperCaseHexWithSeparatorAndBraces) {
  EXPECT_EQ(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}", CGuid(kSample).Format());
  EXPECT_EQ(L"6B29FC40_CA47_1067_B31D_00DD010662DA", CGuid(kSample, L'_', false).Format());
  EXPECT_EQ(L"{00000000-0000-0000-0000-000000000000}", CGuid().Format());
  CGuid guid(kSample);
  guid.SetSeparator(L'.');
  guid.SetBraces(false);
  EXPECT_EQ(L"6B29FC40.CA47.1067.B31D.00DD010662DA", guid.Format());
}

TEST(CGuidTest, CreateGivesDistinctValues) {
  CGuid first;
  CGuid second;
  ASSERT_TRUE(first.Create());
  ASSERT_TRUE(second.Create());
  EXPECT_NE(first.Format(), second.Format());
  std::wstring text = first.Format();
  ASSERT_EQ(38u, text.size());
  EXPECT_EQ(std::wstring::npos, text.find_first_not_of(L"{}-0123456789ABCDEF"));
  EXPECT_FALSE(IsEqualGUID(GUID_NULL, first.Get()));
}
