// offer_pages_test.cpp: the two offer pages in a sheet of their own show
// their pictures, and their links open the vendor's addresses through the
// page's opener (a recorder here, the shell's "open" in setup.exe).
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/thread.h"
#include "wizard/offer_page.h"
#include "wizard/setup_sheet.h"

namespace {

std::vector<std::wstring> g_opened;

unsigned __stdcall RunSheet(void* sheet) {
  static_cast<CSetupSheet*>(sheet)->DoModal(nullptr);
  return 0;
}

}  // namespace

TEST(COfferPagesTest, ThePagesShowTheirPicturesAndTheirLinksOpenTheVendorsAddresses) {
  CSetupState state;
  state.SetProductName(L"Tamsa Studio");
  for (const wchar_t* key : {L"GOOGLE_TOOLBAR", L"GOOGLE_CHROME"}) {
    state.m_products.SetAt(key, std::make_unique<CProductData>(key));
  }
  // Both offers at once, as detection never leaves them: declining the
  // toolbar leads to the browser page.
  state.m_toolbarOffer = state.m_browserOffer = 1;
  g_opened.clear();
  COfferPage::SetLinkOpener([](const std::wstring& address) { g_opened.push_back(address); });
  CSetupWizardContext context;
  context.state = &state;
  CSetupSheet sheet(context);
  for (int kind : {kPageGoogleToolbar, kPageGoogleChrome}) sheet.AddWizardPage(sheet.GetPageByKind(kind));
  DWORD error = 0;
  CScopedHandle thread(StartThread(RunSheet, &sheet, &error));
  HWND window = nullptr;
  HWND page = nullptr;
  auto waitPage = [&](int control) {
    for (int i = 0; i < 500; ++i, Sleep(20)) {
      if (!window) window = FindWindowW(nullptr, L"Tamsa Studio Setup");
      page = window ? reinterpret_cast<HWND>(SendMessageW(window, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
      if (page && GetDlgItem(page, control)) return true;
    }
    return false;
  };
  auto clickLinks = [&](int control, std::initializer_list<const wchar_t*> ids) {
    for (const wchar_t* id : ids) {
      NMLINK link = {};
      link.hdr.idFrom = control;
      link.hdr.code = NM_CLICK;
      wcscpy(link.item.szID, id);
      SendMessageW(page, WM_NOTIFY, control, reinterpret_cast<LPARAM>(&link));
    }
  };
  for (int picture : {11099, 11117}) {
    ASSERT_TRUE(waitPage(picture));
    EXPECT_NE(0, SendMessageW(GetDlgItem(page, picture), STM_GETIMAGE, IMAGE_BITMAP, 0)) << picture;
    if (picture == 11099) {
      clickLinks(11145, {L"termsToolbar", L"policyToolbar", L"other"});
      SendMessageW(GetDlgItem(page, 11146), BM_CLICK, 0, 0);
      CWizardSheet::PressButtonFromOtherThread(window, CWizardSheet::kNext);
    } else {
      clickLinks(11121, {L"terms", L"policy"});
    }
  }
  EXPECT_EQ((std::vector<std::wstring>{L"https://toolbar.example.com/terms.html",
                                       L"https://toolbar.example.com/privacy.html",
                                       L"https://browser.example.com/terms.html",
                                       L"https://browser.example.com/privacy.html"}),
            g_opened);
  CWizardSheet::PressButtonFromOtherThread(window, CWizardSheet::kCancel);  // the last page: Cancel ends it
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 15000));
  COfferPage::SetLinkOpener(nullptr);
}
