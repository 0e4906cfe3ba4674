// upsell_dlg_test.cpp: the offer page in a sheet of its own, online at
// once against a loopback listener of the test. Navigations inside its
// view are started on the sheet's thread, as the view's own would be: the
// page's first is kept, one within it goes on, one elsewhere is cancelled
// and the offer address opens in the user's browser instead.
// winsock2.h must come before any windows.h.
#include <winsock2.h>

#include "wizard/upsell_dlg.h"

#include <windows.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "gtest/gtest.h"
#include "platform/thread.h"
#include "platform/web_browser2.h"
#include "wizard/setup_sheet.h"

namespace {

std::vector<std::wstring> g_opened;

void RecordOpen(const std::wstring& address) { g_opened.push_back(address); }

struct CUpsellRun {
  CSetupState state;
  std::unique_ptr<CSetupSheet> sheet;
  std::vector<std::wstring> navigations;  // one per tick, after the page's own
  size_t next = 0;
  bool online = false;
};

CUpsellRun* g_run = nullptr;

// On the sheet's thread, inside its modal loop: the view is called in its
// own apartment.
void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
  CUpsellRun* run = g_run;
  auto* page = dynamic_cast<CUpsellDlg*>(run->sheet->GetPageByKind(kPageUpsell));
  if (!run->sheet->GetSafeHwnd() || !page || !page->GetSafeHwnd()) return;
  if (run->next < run->navigations.size()) {
    CWebBrowser2 view;
    view.Attach(page->GetDlgItem(11158));
    view.Navigate(run->navigations[run->next++]);
    return;
  }
  KillTimer(nullptr, timer);
  run->online = page->IsOnline();
  // The only page is the last: Cancel finishes the sheet.
  PostMessageW(run->sheet->GetSafeHwnd(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

unsigned __stdcall RunSheet(void* parameter) {
  OleInitialize(nullptr);
  SetTimer(nullptr, 0, 700, Tick);
  static_cast<CUpsellRun*>(parameter)->sheet->DoModal(nullptr);
  OleUninitialize();
  return 0;
}

TEST(CUpsellDlgTest, ViewKeepsItsOwnPagesAndOpensTheOfferForLinksElsewhere) {
  WSADATA data;
  ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
  ASSERT_EQ(0, listen(listener, 8));
  ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length));
  std::wstring server = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port));

  CUpsellRun run;
  run.state.SetProductName(L"Tamsa Studio");
  run.state.m_productVersion = L"3.5";
  run.state.m_languageCode = L"ENU";
  run.state.SetProperty(L"TestConnectionURL", server + L"/");
  run.state.SetProperty(L"UpsellTest", server + L"/upsell page.html");
  run.state.SetProperty(L"SKU", L"STD");
  run.state.SetProperty(L"BuildNumber", L"12");
  // Had the page's own navigation not been the first, the first link
  // here would have been kept and the last one let through.
  run.navigations = {server + L"/shop.html", L"about:blank", server + L"/upsell", server + L"/shop.html"};
  CSetupWizardContext context;
  context.state = &run.state;
  run.sheet.reset(new CSetupSheet(context));
  run.sheet->AddWizardPage(run.sheet->GetPageByKind(kPageUpsell));
  g_run = &run;
  g_opened.clear();
  CUpsellDlg::SetShellOpener(RecordOpen);
  DWORD error = 0;
  CScopedHandle thread(StartThread(RunSheet, &run, &error));
  ASSERT_TRUE(thread.Get()) << error;
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.Get(), 30000));
  CUpsellDlg::SetShellOpener(nullptr);
  closesocket(listener);
  WSACleanup();

  EXPECT_TRUE(run.online);
  // Each link elsewhere reached the user's browser as the service's offer
  // address; the blank page and the page's own part did not.
  const std::wstring offer =
      L"http://redirect.example.com/RedirectServer/default.aspx?PROD=52&LANG=ENU&type=offer&TLA=STD"
      L"&build=12&extend1=Tamsa%20Studio%203.5";
  EXPECT_EQ((std::vector<std::wstring>{offer, offer}), g_opened);
}

}  // namespace
