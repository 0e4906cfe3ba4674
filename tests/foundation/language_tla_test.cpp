// language_tla_test.cpp: the code and character set of each primary
// language, the variants of Chinese, Spanish and Portuguese, and English for
// every language the setup is not translated into.
#include "foundation/language_tla.h"

#include <string>

#include "gtest/gtest.h"

namespace {

TEST(LanguageIdToTlaTest, MapsEachLanguageWithItsVariantsAndCharacterSet) {
  struct Case {
    uint16_t primary;
    uint16_t sub;
    const wchar_t* current;
    const wchar_t* code;
    uint8_t charSet;
  };
  const Case kCases[] = {
      {0x01, 1, L"", L"ARA", 0},     {0x05, 1, L"", L"CSY", 238},  {0x06, 1, L"", L"DAN", 0},
      {0x07, 3, L"", L"DEU", 0},     {0x09, 2, L"", L"ENU", 0},    {0x0B, 1, L"", L"FIN", 0},
      {0x0C, 1, L"", L"FRA", 0},     {0x0E, 1, L"", L"HUN", 238},  {0x10, 1, L"", L"ITA", 0},
      {0x11, 1, L"", L"JPN", 128},   {0x12, 1, L"", L"KOR", 130},  {0x13, 1, L"", L"NLD", 0},
      {0x14, 2, L"", L"NOR", 0},     {0x15, 1, L"", L"PLK", 238},  {0x19, 1, L"", L"RUS", 204},
      {0x1D, 1, L"", L"SVE", 0},     {0x1F, 1, L"", L"TRK", 162},
      // Sublanguage 1 or the other variant, unless one is chosen already.
      {0x04, 1, L"", L"CHT", 136},   {0x04, 2, L"", L"CHS", 136},  {0x04, 3, L"", L"CHS", 136},
      {0x04, 2, L"cht", L"CHT", 136}, {0x04, 1, L"CHS", L"CHS", 136}, {0x04, 1, L"ENU", L"CHT", 136},
      {0x0A, 1, L"", L"ESP", 0},     {0x0A, 3, L"", L"ESN", 0},    {0x0A, 1, L"esn", L"ESN", 0},
      {0x0A, 3, L"ESP", L"ESP", 0},  {0x16, 1, L"", L"PTB", 0},    {0x16, 2, L"", L"PTG", 0},
      {0x16, 1, L"ptg", L"PTG", 0},  {0x16, 2, L"PTB", L"PTB", 0},
      // Languages without a translation, ids out of range.
      {0x02, 1, L"BGR", L"ENU", 0},  {0x08, 1, L"", L"ENU", 0},    {0x00, 0, L"", L"ENU", 0},
      {0x3FF, 1, L"", L"ENU", 0},    {0xFFFF, 0xFFFF, L"CHT", L"ENU", 0},
  };
  for (const Case& row : kCases) {
    std::wstring code = L"unchanged";
    uint8_t charSet = 99;
    LanguageIdToTla(row.primary, row.sub, row.current, &code, &charSet);
    EXPECT_EQ(row.code, code) << std::hex << row.primary << "/" << row.sub << " " << row.current;
    EXPECT_EQ(row.charSet, charSet) << std::hex << row.primary << "/" << row.sub;
  }
}

}  // namespace
