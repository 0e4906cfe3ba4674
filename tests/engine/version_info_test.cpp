// version_info_test.cpp: parsing, comparing, printing and packing versions.
#include "engine/version_info.h"

#include <cstdint>

#include "gtest/gtest.h"

namespace {

struct ParseCase {
  const wchar_t* text;
  bool taken;
  uint16_t parts[4];
  int lastPart;
  const wchar_t* printed;
};

// A refused text leaves the object as it was: 9.9.9.9.
const ParseCase kParseCases[] = {
    {L"10", true, {10, 0, 0, 0}, 0, L"10"},
    {L"3.58.94", true, {3, 58, 94, 0}, 2, L"3.58.94"},
    {L"1.2.3.4", true, {1, 2, 3, 4}, 3, L"1.2.3.4"},
    {L"3.58.94a", true, {3, 58, 94, 0}, 3, L"3.58.94.0"},
    {L"3.58.94b", true, {3, 58, 94, 1}, 3, L"3.58.94.1"},
    {L"3.58.94Z", true, {3, 58, 94, 25}, 3, L"3.58.94.25"},
    {L"2a", true, {2, 0, 0, 0}, 1, L"2.0"},
    {L"1.z", true, {1, 25, 0, 0}, 1, L"1.25"},
    {L"2.0.1.7.9", true, {2, 0, 1, 7}, 3, L"2.0.1.7"},
    {L"2..5", true, {2, 0, 0, 0}, 0, L"2"},
    {L"4.5-6.0", true, {4, 5, 0, 0}, 1, L"4.5"},
    {L"4.5 beta", true, {4, 5, 0, 0}, 1, L"4.5"},
    {L"7:1", true, {7, 0, 0, 0}, 0, L"7"},
    {L"1.", true, {1, 0, 0, 0}, 0, L"1"},
    {L"007.010", true, {7, 10, 0, 0}, 1, L"7.10"},
    {L"65535.65535.65535.65535", true, {65535, 65535, 65535, 65535}, 3,
     L"65535.65535.65535.65535"},
    // A part above 65535 ends the reading at the previous part, whatever
    // its digits would give in 16 bits; its slot stays 0.
    {L"65536", true, {0, 0, 0, 0}, -1, L""},
    {L"1.65536.3", true, {1, 0, 0, 0}, 0, L"1"},
    {L"1.2.99999", true, {1, 2, 0, 0}, 1, L"1.2"},
    {L"1.2.3.72820", true, {1, 2, 3, 0}, 2, L"1.2.3"},
    {L"1.4294967296", true, {1, 0, 0, 0}, 0, L"1"},
    {L"1.99999999999999999999", true, {1, 0, 0, 0}, 0, L"1"},
    {L"", false, {9, 9, 9, 9}, 3, L"9.9.9.9"},
    {L"v1.0", false, {9, 9, 9, 9}, 3, L"9.9.9.9"},
    {L".1", false, {9, 9, 9, 9}, 3, L"9.9.9.9"},
    {L" 1.0", false, {9, 9, 9, 9}, 3, L"9.9.9.9"},
    {L"-1", false, {9, 9, 9, 9}, 3, L"9.9.9.9"},
};

}  // namespace

TEST(CVersionInfoTest, ParseReadsUpToFourPartsAndStopsAtTheFirstBadOne) {
  for (const ParseCase& c : kParseCases) {
    CVersionInfo version;
    version.SetParts4(9, 9, 9, 9);
    EXPECT_EQ(c.taken, version.Parse(c.text)) << c.text;
    EXPECT_EQ(c.parts[0], version.GetMajor()) << c.text;
    EXPECT_EQ(c.parts[1], version.GetMinor()) << c.text;
    EXPECT_EQ(c.parts[2], version.GetBuild()) << c.text;
    EXPECT_EQ(c.parts[3], version.GetRevision()) << c.text;
    EXPECT_EQ(c.lastPart, version.GetLastPartIndex()) << c.text;
    EXPECT_EQ(c.printed, version.ToString()) << c.text;
  }
}

TEST(CVersionInfoTest, ParseRefusesNull) {
  CVersionInfo version;
  version.SetParts2(1, 2);
  EXPECT_FALSE(version.Parse(static_cast<const wchar_t*>(nullptr)));
  EXPECT_EQ(L"1.2", version.ToString());
}

TEST(CVersionInfoTest, CompareLooksAtAllFourPartsNotAtTheIndex) {
  struct {
    const wchar_t* a;
    const wchar_t* b;
    int sign;
  } const kCases[] = {
      {L"1.0", L"1.0.0.0", 0},  {L"1.10", L"1.9", 1},   {L"1.9", L"1.10", -1},
      {L"3.58.94a", L"3.58.94", 0}, {L"3.58.94b", L"3.58.94", 1}, {L"2", L"10", -1},
      {L"1.2.3.4", L"1.2.3.5", -1}, {L"65535", L"0.65535", 1},    {L"0", L"0.0.0.1", -1},
  };
  for (const auto& c : kCases) {
    CVersionInfo a;
    CVersionInfo b;
    ASSERT_TRUE(a.Parse(c.a));
    ASSERT_TRUE(b.Parse(c.b));
    int result = a.Compare(b);
    EXPECT_EQ(c.sign, (result > 0) - (result < 0)) << c.a << L" vs " << c.b;
  }
  CVersionInfo high;
  CVersionInfo low;
  high.SetParts2(65535, 0);
  EXPECT_EQ(65535, high.Compare(low));  // a difference, not a clipped sign
}

TEST(CVersionInfoTest, SettersFixTheIndexAndClearLaterParts) {
  CVersionInfo version;
  EXPECT_EQ(L"", version.ToString());
  version.SetParts4(1, 2, 3, 4);
  EXPECT_EQ(L"1.2.3.4", version.ToString());
  version.SetParts3(5, 6, 7);
  EXPECT_EQ(0, version.GetRevision());
  EXPECT_EQ(L"5.6.7", version.ToString());
  version.SetParts2(8, 9);
  EXPECT_EQ(L"8.9", version.ToString());
  EXPECT_EQ(0, version.Compare(CVersionInfo(version)));
  CVersionInfo copy;
  copy.Assign(version);
  EXPECT_EQ(L"8.9", copy.ToString());
}

TEST(CVersionInfoTest, PackedDwordUsesTheInstallerLayout) {
  struct {
    uint32_t packed;
    const wchar_t* printed;
  } const kCases[] = {
      {0x033A005Eu, L"3.58.94"},  // what MsiGetProductInfo reports for 3.58.94
      {0x04050000u, L"4.5.0"},    {0x04000000u, L"4.0.0"},     {0u, L""},
      {0x00000001u, L"0.0.1"},    {0x00010000u, L"0.1.0"},     {0xFFFFFFFFu, L"255.255.65535"},
  };
  for (const auto& c : kCases) {
    CVersionInfo version;
    version.SetParts4(9, 9, 9, 9);
    version.SetFromPackedDword(c.packed);
    EXPECT_EQ(c.printed, version.ToString()) << c.packed;
    EXPECT_EQ(0, version.GetRevision()) << c.packed;
    EXPECT_EQ(c.packed, version.ToPackedDword()) << c.packed;
  }
  CVersionInfo version;
  ASSERT_TRUE(version.Parse(L"3.58.94.7"));
  EXPECT_EQ(0x033A005Eu, version.ToPackedDword());  // the revision is not packed
  // Parts wider than the layout wrap as unsigned arithmetic does.
  version.SetParts3(1, 256, 0);
  EXPECT_EQ(0x02000000u, version.ToPackedDword());
}
