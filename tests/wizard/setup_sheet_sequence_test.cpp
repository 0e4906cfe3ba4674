// setup_sheet_sequence_test.cpp: the pages a sheet takes from the run's
// sequence, without showing it: their order, their buttons and the sheet
// properties that adding an offer page sets.
#include "wizard/setup_sheet.h"

#include <string>

#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"
#include "wizard/wiz_prop_page.h"

namespace {

const char kConfigured[] =
    "[Interface]\r\nSequences=Install\r\n"
    "[Interface.Install]\r\nPages=welcome,ProductInformation,Verify,Finish\r\nStart=welcome\r\n"
    "[Interface.Install.welcome]\r\nNext=ProductInformation\r\nDisableBack=1\r\nDisableNext=0\r\nEnableView=1\r\n"
    "DisplayCondition=\r\n"
    "[Interface.Install.ProductInformation]\r\nNext=Verify\r\nDisableBack=0\r\nDisableNext=0\r\nDisplayCondition=\r\n"
    "[Interface.Install.Verify]\r\nNext=Finish\r\nDisableBack=0\r\nDisableNext=1\r\nDisplayCondition=\r\n"
    "[Interface.Install.Finish]\r\nNext=0\r\nDisableBack=1\r\nDisableNext=1\r\nDisplayCondition=\r\n";

// "Name:flags" for each page of the sheet, in order.
std::string SheetPages(const CSetupSheet& sheet) {
  std::string pages;
  for (size_t i = 0; i < sheet.GetPageCount(); ++i) {
    const CWizPropPage* page = static_cast<const CWizPropPage*>(sheet.GetPage(i));
    pages += (pages.empty() ? "" : ",") + WideToUtf8(page->GetSettings().name) + ":" +
             std::to_string(page->GetButtonFlags());
  }
  return pages;
}

}  // namespace

TEST(CSetupSheetSequenceTest, SheetTakesTheChosenPagesWithTheirButtons) {
  CTestFolder folder;
  std::wstring information = folder.File(L"information.xml");
  WriteFileBytes(information, "<ProductInformation/>");
  std::string looping = kConfigured;
  looping.replace(looping.find("Next=0"), 6, "Next=Verify");
  struct Case {
    const char* label;
    std::string dcf;
    std::wstring informationFile;
    bool toolbarOffer;
    const char* pages;  // flags: 1 Back, 2 Next, 4 Finish, 16 View
    const wchar_t* toolbarPresent;
  };
  const Case kCases[] = {
      {"configured", kConfigured, information, false,
       "Welcome:18,ProductInformation:3,Verify:1,Finish:4", L""},
      {"configured, no information file", kConfigured, folder.File(L"missing.xml"), false,
       "Welcome:18,Verify:1,Finish:4", L""},
      // A loop falls back to the built-in sequence; the licence is accepted.
      {"loop", looping, information, true,
       "Welcome:2,InstallMode:1,InstallPoint:3,Customize:3,RemovePrevious:3,GoogleToolbar:3,Verify:3,Progress:0,"
       "UserExit:4,Finish:4",
       L"true"},
  };
  for (const Case& c : kCases) {
    CSetupState state;
    state.m_configurationPath = folder.File(L"SETUP.DCF");
    WriteFileBytes(state.m_configurationPath, c.dcf);
    state.SetProperty(L"ProductInformation", c.informationFile);
    state.m_eulaAccepted = 1;
    state.m_toolbarOffer = c.toolbarOffer ? 1 : 0;
    CSetupWizardContext context;
    context.state = &state;
    CSetupSheet sheet(context);
    sheet.LoadUiSequence();
    EXPECT_EQ(c.pages, SheetPages(sheet)) << c.label;
    EXPECT_EQ(c.toolbarPresent, sheet.GetProperty(L"GoogleToolbarPresent")) << c.label;
  }
}
