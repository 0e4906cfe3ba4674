// setup_sheet_rules_test.cpp: the sheet's arithmetic: the View button's
// place, the root the free space is measured on, the progress percentage.
#include "wizard/setup_sheet_rules.h"

#include "gtest/gtest.h"

TEST(CSetupSheetRulesTest, ViewButtonMirrorsCancelOrKeepsItsMargin) {
  struct Case {
    RECT sheet;
    RECT cancel;
    int dpi;
    int width;
    int left;
  };
  const Case kCases[] = {
      // Wine's sheet: Cancel at the right, so View gets its margin at the left.
      {{0, 0, 768, 500}, {660, 460, 756, 483}, 96, 85, 12},
      {{0, 0, 768, 500}, {660, 460, 756, 483}, 120, 115, 12},
      {{0, 0, 768, 500}, {301, 460, 397, 483}, 96, 85, 371},
      // Cancel in the left part: mirrored across the sheet.
      {{0, 0, 768, 500}, {300, 460, 396, 483}, 96, 85, 383},
      {{0, 0, 600, 400}, {10, 300, 90, 320}, 144, 115, 475},
  };
  for (const Case& c : kCases) {
    int width = ViewButtonWidth(c.dpi);
    EXPECT_EQ(c.width, width) << c.dpi;
    EXPECT_EQ(c.left, ViewButtonLeft(c.sheet, c.cancel, width)) << c.cancel.left;
  }
  EXPECT_EQ(85, ViewButtonWidth(119));
}

TEST(CSetupSheetRulesTest, InstallRootIsTheDriveOrTheShare) {
  struct Case {
    const wchar_t* folder;
    const wchar_t* root;
  };
  const Case kCases[] = {
      {L"C:\\Program Files\\Tamsa", L"C:\\"},
      {L"C:\\", L"C:\\"},
      {L"D:\\x", L"D:\\"},
      {L"\\\\server\\share\\folder\\sub", L"\\\\server\\share\\"},
      {L"\\\\server\\share", L"\\\\server\\share\\"},
      {L"\\\\server\\share\\", L"\\\\server\\share\\"},
      {L"\\\\server", L""},
      {L"\\\\server\\", L""},
      {L"\\\\", L""},
      {L"\\folder", L""},
      {L"C:", L""},
      {L"", L""},
  };
  for (const Case& c : kCases) EXPECT_EQ(c.root, InstallRootOf(c.folder)) << c.folder;
}

TEST(CSetupSheetRulesTest, ProgressPercentClampsAndCountsNothingAsDone) {
  struct Case {
    long done;
    long total;
    int percent;
  };
  const Case kCases[] = {{0, 10, 0},   {5, 10, 50},  {10, 10, 100}, {-5, 10, 0},         {15, 10, 100},
                         {1, 3, 33},   {2, 3, 66},   {0, 0, 100},   {7, -1, 100},        {3, 0, 100},
                         {2000000000, 2100000000, 95}};
  for (const Case& c : kCases) EXPECT_EQ(c.percent, ProgressPercent(c.done, c.total)) << c.done << "/" << c.total;
}
