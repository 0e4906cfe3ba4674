// upgrade_row_test.cpp: which installed products an Upgrade table row removes.
#include "actions/upgrade_row.h"

#include "gtest/gtest.h"

namespace {

struct UpgradeCase {
  const wchar_t* versionMin;
  const wchar_t* versionMax;
  const wchar_t* language;
  int attributes;      // 0x2 detect only, 0x100/0x200 bounds inclusive, 0x400 languages exclusive
  const wchar_t* installedVersion;
  int installedLanguage;
  bool removes;
};

const UpgradeCase kCases[] = {
    {L"", L"2.0.0", L"", 0, L"1.0.0", 1033, true},       {L"", L"2.0.0", L"", 0, L"2.0.0", 1033, false},
    {L"", L"2.0.0", L"", 0x200, L"2.0.0.9", 1033, true},  {L"1.0.0", L"", L"", 0, L"1.0.0", 1033, false},
    {L"1.0.0", L"", L"", 0x100, L"1.0.0", 1033, true},    {L"1.0.0", L"2.0.0", L"", 0x300, L"2.1", 1033, false},
    {L"", L"", L"", 0x2, L"1.0.0", 1033, false},          {L"", L"", L"", 0x302, L"1.0.0", 1033, false},
    {L"", L"", L"1031, 1033", 0, L"1.0.0", 1033, true},   {L"", L"", L"1031", 0, L"1.0.0", 1033, false},
    {L"", L"", L"1031", 0x400, L"1.0.0", 1033, true},     {L"", L"", L"1033,", 0x400, L"1.0.0", 1033, false},
    {L"", L"", L"1031,,", 0, L"1.0.0", 0, false},         {L"", L"2.0.0", L"", 0, L"", 1033, true},
};

TEST(CUpgradeRowTest, RemovesOnlyWhatRowTakesOutsideDetectOnly) {
  for (const UpgradeCase& c : kCases) {
    CUpgradeRow row;
    row.upgradeCode = L"{5B0E7C10-2A41-4C3B-9D15-6E7F8091A2B0}";
    row.versionMin = c.versionMin;
    row.versionMax = c.versionMax;
    row.language = c.language;
    row.attributes = c.attributes;
    EXPECT_EQ(c.removes, row.Removes(c.installedVersion, c.installedLanguage))
        << "min " << c.versionMin << " max " << c.versionMax << " languages " << c.language << " attributes "
        << c.attributes << " installed " << c.installedVersion;
  }
}

}  // namespace
