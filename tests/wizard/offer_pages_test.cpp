// offer_pages_test.cpp: the two browser offer pages in a sheet of their own,
// clicked through as a user would: taking the toolbar passes the browser
// page over, in both directions; declining it brings the browser page,
// whose "Include" box governs "default browser"; the answers reach the
// products and CHROMEBROWSERPARAMS, and the links open their addresses
// through the page's opener.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/thread.h"
#include "platform/window_text.h"
#include "platform/wizard_sheet.h"
#include "wizard/offer_page.h"
#include "wizard/setup_sheet.h"

namespace {

const wchar_t kTitle[] = L"Tamsa Studio Setup";
std::vector<std::wstring> g_opened;

void RecordOpen(const std::wstring& address) { g_opened.push_back(address); }

bool WaitFor(const std::function<bool()>& condition, DWORD milliseconds = 10000) {
  for (DWORD waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

struct COfferRun {
  CSetupState state;
  std::unique_ptr<CSetupSheet> sheet;
  CScopedHandle thread;
  HWND window = nullptr;

  HWND Page() const { return reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  // The current page once it holds the control.
  HWND WaitPage(int control) const {
    HWND page = nullptr;
    WaitFor([&] { return (page = Page()) != nullptr && GetDlgItem(page, control) != nullptr; });
    return page;
  }
  void Press(CWizardSheet::EButton button) const { CWizardSheet::PressButtonFromOtherThread(window, button); }
  std::wstring Selection(const wchar_t* key) const {
    return state.m_products.Lookup(key)->GetSelection()->IsCurrent() ? L"selected" : L"not selected";
  }
};

unsigned __stdcall RunSheet(void* parameter) {
  static_cast<COfferRun*>(parameter)->sheet->DoModal(nullptr);
  return 0;
}

void AddProduct(CSetupState* state, const wchar_t* key) {
  auto product = std::make_unique<CProductData>(key);
  product->GetSelection()->SetCurrent(true, false);
  state->m_products.SetAt(key, std::move(product));
}

void ClickLink(HWND page, int control, const wchar_t* id) {
  NMLINK link = {};
  link.hdr.hwndFrom = GetDlgItem(page, control);
  link.hdr.idFrom = control;
  link.hdr.code = NM_CLICK;
  wcscpy(link.item.szID, id);
  SendMessageW(page, WM_NOTIFY, control, reinterpret_cast<LPARAM>(&link));
}

bool Checked(HWND page, int id) { return SendMessageW(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

TEST(COfferPagesTest, TheUsersAnswersChooseThePagesAndReachTheRun) {
  const int kToolbarBox = 11146, kToolbarLinks = 11145, kInclude = 11119, kDefault = 11120, kChromeLinks = 11121,
            kVerifyTitle = 11041;
  COfferRun run;
  run.state.SetProductName(L"Tamsa Studio");
  AddProduct(&run.state, L"GOOGLE_TOOLBAR");
  AddProduct(&run.state, L"GOOGLE_CHROME");
  // Both flags set, as detection never leaves them, so the toolbar page's
  // answer alone decides whether the browser page shows.
  run.state.m_toolbarOffer = 1;
  run.state.m_browserOffer = 1;
  g_opened.clear();
  COfferPage::SetLinkOpener(RecordOpen);
  CSetupWizardContext context;
  context.state = &run.state;
  run.sheet.reset(new CSetupSheet(context));
  for (int kind : {kPageGoogleToolbar, kPageGoogleChrome, kPageVerify}) {
    run.sheet->AddWizardPage(run.sheet->GetPageByKind(kind));
  }
  DWORD error = 0;
  run.thread.Reset(StartThread(RunSheet, &run, &error));
  ASSERT_TRUE(WaitFor([&] { return (run.window = FindWindowW(nullptr, kTitle)) != nullptr; }));

  HWND page = run.WaitPage(kToolbarBox);
  ASSERT_NE(nullptr, page);
  EXPECT_TRUE(Checked(page, kToolbarBox));
  EXPECT_NE(0, SendMessageW(GetDlgItem(page, 11099), STM_GETIMAGE, IMAGE_BITMAP, 0)) << "no offer picture";
  ClickLink(page, kToolbarLinks, L"termsToolbar");
  ClickLink(page, kToolbarLinks, L"policyToolbar");
  ClickLink(page, kToolbarLinks, L"other");
  // Taken: the browser page is passed over forward and back.
  run.Press(CWizardSheet::kNext);
  ASSERT_NE(nullptr, run.WaitPage(kVerifyTitle));
  EXPECT_EQ(L"selected", run.Selection(L"GOOGLE_TOOLBAR"));
  EXPECT_EQ(L"not selected", run.Selection(L"GOOGLE_CHROME"));
  EXPECT_EQ(0, run.state.m_browserOffer);
  run.Press(CWizardSheet::kBack);
  page = run.WaitPage(kToolbarBox);
  ASSERT_NE(nullptr, page);
  // Declined: the browser offer comes back, and its page with it.
  SendMessageW(GetDlgItem(page, kToolbarBox), BM_CLICK, 0, 0);
  EXPECT_FALSE(Checked(page, kToolbarBox));
  run.Press(CWizardSheet::kNext);
  page = run.WaitPage(kInclude);
  ASSERT_NE(nullptr, page);
  EXPECT_EQ(L"not selected", run.Selection(L"GOOGLE_TOOLBAR"));
  EXPECT_EQ(L"Include Google Chrome along with Tamsa Studio",
            GetWindowTextString(GetDlgItem(page, kInclude)).erase(9, 1));  // the "&" of G&oogle
  EXPECT_TRUE(Checked(page, kInclude) && Checked(page, kDefault));
  SendMessageW(GetDlgItem(page, kInclude), BM_CLICK, 0, 0);
  EXPECT_FALSE(Checked(page, kDefault));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kDefault)));
  SendMessageW(GetDlgItem(page, kInclude), BM_CLICK, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, kDefault)));
  EXPECT_FALSE(Checked(page, kDefault));
  ClickLink(page, kChromeLinks, L"terms");
  ClickLink(page, kChromeLinks, L"policy");
  run.Press(CWizardSheet::kNext);
  ASSERT_NE(nullptr, run.WaitPage(kVerifyTitle));
  EXPECT_EQ(L"selected", run.Selection(L"GOOGLE_CHROME"));
  std::wstring params;
  run.state.GetProperty(L"CHROMEBROWSERPARAMS", &params);
  EXPECT_EQ(L"/b:0", params);
  const std::vector<std::wstring> kOpened = {
      L"https://toolbar.example.com/terms.html", L"https://toolbar.example.com/privacy.html",
      L"https://browser.example.com/terms.html", L"https://browser.example.com/privacy.html"};
  EXPECT_EQ(kOpened, g_opened);

  run.Press(CWizardSheet::kCancel);
  HWND question = nullptr;
  if (WaitFor([&] { return (question = FindWindowW(nullptr, L"Tamsa Studio")) != nullptr; }, 5000)) {
    PostMessageW(question, WM_COMMAND, IDYES, 0);
  }
  WaitForSingleObject(run.thread.Get(), 15000);
  COfferPage::SetLinkOpener(nullptr);
}
