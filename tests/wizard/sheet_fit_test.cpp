// sheet_fit_test.cpp: the DPI the wizard is laid out for on screens of
// several sizes, and its size as predicted from the page template.
#include "wizard/sheet_fit.h"

#include <windows.h>

#include "gtest/gtest.h"
#include "platform/dialog_template.h"
#include "resources/resource_ids.h"

// Sizes of the sheet measured under Wine at each DPI.
TEST(CSheetFitTest, LaidOutAtTheLargestPictureDpiThatFits) {
  auto measured = [](int dpi) -> SIZE {
    switch (dpi) {
      case 96: return {774, 534};
      case 120: return {884, 618};
      case 144: return {1104, 780};
      default: return {1433, 984};  // 192
    }
  };
  const struct {
    int screenDpi, width, height, layoutDpi;
  } kCases[] = {
      {192, 1600, 1200, 192}, {192, 1280, 1024, 144}, {192, 1280, 960, 144}, {192, 1024, 768, 120},
      {144, 1280, 1024, 144}, {144, 1024, 768, 120},  {120, 800, 600, 96},   {96, 640, 480, 96},
      // Nothing fits: the smallest layout, never a larger one than the screen's.
      {192, 600, 400, 96},    {72, 600, 400, 72},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.layoutDpi, ChooseLayoutDpi(c.screenDpi, {c.width, c.height}, measured))
        << c.screenDpi << " on " << c.width << "x" << c.height;
  }
}

TEST(CSheetFitTest, PredictedSizeGrowsWithTheLayoutsDpi) {
  const DLGTEMPLATE* page = LoadDialogTemplate(GetModuleHandleW(nullptr), IDD_WIZ_WELCOME, 0);
  ASSERT_NE(nullptr, page);
  SIZE at96 = PredictSheetSize(page, 192, 96);
  SIZE at144 = PredictSheetSize(page, 192, 144);
  SIZE at192 = PredictSheetSize(page, 192, 192);
  EXPECT_GT(at96.cx, 425);
  EXPECT_LT(at96.cx, at144.cx);
  EXPECT_LT(at144.cx, at192.cx);
  EXPECT_LT(at144.cy, at192.cy);
  EXPECT_EQ(0, PredictSheetSize(nullptr, 96, 96).cx);
}
