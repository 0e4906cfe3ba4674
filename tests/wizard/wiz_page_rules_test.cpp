// wiz_page_rules_test.cpp: the page rules that need no window: buttons,
// the skip rule and the header image by DPI.
#include "wizard/wiz_page_rules.h"

#include "gtest/gtest.h"

namespace {

CWizPageSettings Page(const wchar_t* name, const wchar_t* next, bool noBack, bool noNext, bool view) {
  CWizPageSettings settings;
  settings.name = name;
  settings.next = next;
  settings.disableBack = noBack;
  settings.disableNext = noNext;
  settings.enableView = view;
  return settings;
}

}  // namespace

TEST(CWizPageRulesTest, ButtonMaskFollowsFlagsUntilTheFinishRule) {
  struct Case {
    CWizPageSettings settings;
    DWORD expected;
  };
  const Case kCases[] = {
      {Page(L"Welcome", L"", false, false, false), 0x3},
      {Page(L"Welcome", L"", true, false, false), 0x2},
      {Page(L"Eula", L"", false, false, true), 0x13},
      {Page(L"Progress", L"", true, true, false), 0x0},
      {Page(L"Finish", L"0", false, false, true), 0x4},
      // Only the exact "0" ends the sequence.
      {Page(L"Finish", L"00", false, false, false), 0x3},
      {Page(L"Finish", L" 0", true, false, false), 0x2},
      {Page(L"userexit", L"", false, false, true), 0x4},
      {Page(L"USEREXIT", L"Finish", true, true, false), 0x4},
      {Page(L"UserExits", L"", false, false, false), 0x3},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.expected, ComputeButtonFlags(c.settings)) << c.settings.name << " next '" << c.settings.next << "'";
  }
}

TEST(CWizPageRulesTest, DisplayConditionShowsThePageWhenAnyNameIsTrue) {
  const CMapStringToString properties = {
      {L"A", L"false"}, {L"B", L"TRUE"}, {L"C", L"0"}, {L"D", L"1"}, {L"E", L"true "}, {L"F", L"yes"},
      {L"FailedInstall", L"true"}};
  struct Case {
    const wchar_t* condition;
    bool skipped;
  };
  const Case kCases[] = {
      {L"", false},
      {L" , ", false},
      {L"A", true},
      {L"B", false},
      {L"A, B", false},
      {L"A,C", true},
      {L"C, D", false},
      {L"E", false},
      {L"F", true},
      {L"Missing", true},
      {L"Missing, A", true},
      {L"UserCanceled, FailedInstall", false},
      {L"UserCanceled,  A ,C", true},
      // Names are case-sensitive, values case-blind.
      {L"b", true},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.skipped, IsSkippedByCondition(c.condition, properties)) << "'" << c.condition << "'";
  }
}

TEST(CWizPageRulesTest, HeaderImageBySizeOfTheScreensDpi) {
  struct Case {
    int dpi;
    const wchar_t* file;
    UINT resource;
    UINT security;  // the progress page's picture
  };
  const Case kCases[] = {
      {72, L"header_96.png", 11168, 11195},   {95, L"header_96.png", 11168, 11195},
      {96, L"header_96.png", 11168, 11195},   {97, L"header_120.png", 11169, 11230},
      {120, L"header_120.png", 11169, 11230}, {121, L"header_144.png", 11170, 11231},
      {144, L"header_144.png", 11170, 11231}, {145, L"header_192.png", 11171, 11232},
      {192, L"header_192.png", 11171, 11232}, {480, L"header_192.png", 11171, 11232},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.file, HeaderImageFileName(c.dpi)) << c.dpi;
    EXPECT_EQ(c.resource, HeaderImageResourceId(c.dpi)) << c.dpi;
    EXPECT_EQ(c.security, SecurityImageResourceId(c.dpi)) << c.dpi;
  }
}

// The measures of the header and the setup type buttons as laid out at 96,
// 144 and 192 DPI, and a kit's picture taller than the layout leaves room for.
TEST(CWizPageRulesTest, HeaderBandAndButtonIconsGrowWithTheLayout) {
  const struct {
    int layoutEnd, headerTop, headerBottom, bandEnd;
  } kBands[] = {
      {50, 0, 40, 50}, {74, 0, 60, 74}, {93, 0, 80, 93},
      {50, 0, 50, 62}, {50, 0, 80, 100}, {50, 10, 90, 110},
  };
  for (const auto& c : kBands) {
    EXPECT_EQ(c.bandEnd, HeaderBandEnd(c.layoutEnd, c.headerTop, c.headerBottom)) << c.headerBottom;
  }
  const struct {
    int dpi, width, height, side;
  } kIcons[] = {
      {96, 52, 49, 32}, {120, 64, 60, 40}, {144, 78, 73, 48}, {192, 104, 96, 64},
      // A layout drawn smaller than the screen's DPI leaves less room.
      {192, 60, 56, 40}, {144, 40, 40, 24}, {96, 10, 10, 16}, {72, 52, 49, 24},
  };
  for (const auto& c : kIcons) {
    EXPECT_EQ(c.side, PictureButtonIconSize(c.dpi, c.width, c.height)) << c.dpi << " " << c.width;
  }
}
