// offer_pages_test.cpp: the two offer pages in a sheet of their own: their
// links open the vendor's addresses through the page's opener, and taking
// the toolbar after Back from a later page keeps the browser page away.
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
#include "wizard/offer_page.h"
#include "wizard/setup_sheet.h"

namespace {

std::vector<std::wstring> g_opened;

bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 500 && !condition(); ++i) Sleep(20);
  return condition();
}

unsigned __stdcall RunSheet(void* sheet) {
  static_cast<CSetupSheet*>(sheet)->DoModal(nullptr);
  return 0;
}

}  // namespace

TEST(COfferPagesTest, LinksOpenTheirAddressesAndTheToolbarAnswerDecidesTheBrowserPage) {
  const int kToolbarBox = 11146, kInclude = 11119, kVerifyTitle = 11041;
  CSetupState state;
  state.SetProductName(L"Tamsa Studio");
  for (const wchar_t* key : {L"GOOGLE_TOOLBAR", L"GOOGLE_CHROME"}) {
    state.m_products.SetAt(key, std::make_unique<CProductData>(key));
    state.m_products.Lookup(key)->GetSelection()->SetCurrent(true, false);
  }
  // Both offers at once, as detection never leaves them: the toolbar page's
  // answer alone decides whether the browser page shows.
  state.m_toolbarOffer = state.m_browserOffer = 1;
  auto selected = [&](const wchar_t* key) { return state.m_products.Lookup(key)->GetSelection()->IsCurrent(); };
  g_opened.clear();
  COfferPage::SetLinkOpener([](const std::wstring& address) { g_opened.push_back(address); });
  CSetupWizardContext context;
  context.state = &state;
  CSetupSheet sheet(context);
  for (int kind : {kPageGoogleToolbar, kPageGoogleChrome, kPageVerify}) sheet.AddWizardPage(sheet.GetPageByKind(kind));
  DWORD error = 0;
  CScopedHandle thread(StartThread(RunSheet, &sheet, &error));
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (window = FindWindowW(nullptr, L"Tamsa Studio Setup")) != nullptr; }));
  HWND page = nullptr;
  auto waitPage = [&](int control) {
    return WaitFor([&] {
      page = reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0));
      return page && GetDlgItem(page, control);
    });
  };
  auto press = [&](CWizardSheet::EButton button) { CWizardSheet::PressButtonFromOtherThread(window, button); };
  auto click = [&](int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); };
  auto clickLink = [&](int control, const wchar_t* id) {
    NMLINK link = {};
    link.hdr.idFrom = control;
    link.hdr.code = NM_CLICK;
    wcscpy(link.item.szID, id);
    SendMessageW(page, WM_NOTIFY, control, reinterpret_cast<LPARAM>(&link));
  };

  ASSERT_TRUE(waitPage(kToolbarBox));
  EXPECT_NE(0, SendMessageW(GetDlgItem(page, 11099), STM_GETIMAGE, IMAGE_BITMAP, 0)) << "no offer picture";
  for (const wchar_t* id : {L"termsToolbar", L"policyToolbar", L"other"}) clickLink(11145, id);
  click(kToolbarBox);  // declined: the browser page follows
  press(CWizardSheet::kNext);
  ASSERT_TRUE(waitPage(kInclude));
  for (const wchar_t* id : {L"terms", L"policy"}) clickLink(11121, id);
  press(CWizardSheet::kNext);
  ASSERT_TRUE(waitPage(kVerifyTitle));
  press(CWizardSheet::kBack);
  ASSERT_TRUE(waitPage(kInclude));
  press(CWizardSheet::kBack);
  ASSERT_TRUE(waitPage(kToolbarBox));
  click(kToolbarBox);  // taken now: the browser page is passed over
  press(CWizardSheet::kNext);
  ASSERT_TRUE(waitPage(kVerifyTitle));
  EXPECT_TRUE(selected(L"GOOGLE_TOOLBAR") && !selected(L"GOOGLE_CHROME"));
  EXPECT_EQ(0, state.m_browserOffer);
  EXPECT_EQ((std::vector<std::wstring>{L"https://toolbar.example.com/terms.html",
                                       L"https://toolbar.example.com/privacy.html",
                                       L"https://browser.example.com/terms.html",
                                       L"https://browser.example.com/privacy.html"}),
            g_opened);

  press(CWizardSheet::kCancel);  // on the last page Cancel ends the sheet
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  COfferPage::SetLinkOpener(nullptr);
}
