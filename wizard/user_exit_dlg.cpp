// user_exit_dlg.cpp: the interrupted-setup texts and the link to the log.
#include "wizard/user_exit_dlg.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "actions/command_options.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"
#include "wizard/google_chrome_page.h"
#include "wizard/offer_choice.h"
#include "wizard/setup_sheet.h"

namespace {

const wchar_t kSetupLogName[] = L"VELL_SETUP.LOG";
const wchar_t kNoOnlineAccessProperty[] = L"NO_ONLINE_ACCESS";

}  // namespace

CUserExitDlg::CUserExitDlg()
    : CTextPage(IDD_WIZ_USER_EXIT, IDC_USER_EXIT_TITLE, {IDC_USER_EXIT_BODY, IDC_USER_EXIT_NOTE}) {}

BOOL CUserExitDlg::OnInitDialog() {
  CTextPage::OnInitDialog();
  CSetupSheet* sheet = GetSetupSheet();
  m_fullUi = !sheet || sheet->ShowHeaders();
  if (!m_fullUi) {
    if (sheet) ShowWindow(sheet->GetSafeHwnd(), SW_HIDE);
    return TRUE;
  }
  ShowLogLink();
  CleanOfferMarker();
  return TRUE;
}

// Only after a browser offer the user did not decline, and only in the
// runs that make offers at all.
void CUserExitDlg::CleanOfferMarker() {
  CSetupSheet* sheet = GetSetupSheet();
  CSetupState* state = GetState();
  if (!sheet || !state || !state->m_browserOffer) return;
  auto* chromePage = dynamic_cast<CGoogleChromePage*>(sheet->GetPageByKind(kPageGoogleChrome));
  if (chromePage && !chromePage->IsChromeChosen()) return;
  std::wstring noOnlineAccess;
  if (state->GetProperty(kNoOnlineAccessProperty, &noOnlineAccess) && noOnlineAccess == L"1") return;
  const CCommandOptions* options = sheet->GetCommandOptions();
  if (options && options->GetMode() != 0) return;
  CleanChromeOfferMarker();
}

// The page is created when it is first shown, after the Progress page has
// said whether to offer the log.
void CUserExitDlg::ShowLogLink() {
  std::wstring folder;
  if (m_showLogLink && GetSetupLogFolder(&folder)) m_logPath = folder + kSetupLogName;
  if (HWND link = GetDlgItem(IDC_USER_EXIT_LOG_LINK)) ShowWindow(link, m_logPath.empty() ? SW_HIDE : SW_SHOW);
}

bool CUserExitDlg::OnSetActive() {
  if (CSetupSheet* sheet = GetSetupSheet()) {
    EnableWindow(::GetDlgItem(sheet->GetSafeHwnd(), IDCANCEL), FALSE);
  }
  return CTextPage::OnSetActive();
}

bool CUserExitDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_NOTIFY) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_USER_EXIT_LOG_LINK && (header->code == NM_CLICK || header->code == NM_RETURN)) {
      if (!m_logPath.empty()) {
        WriteLog(L"Opening the setup log: %s", m_logPath.c_str());
        ShellExecuteW(GetSafeHwnd(), L"open", m_logPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      }
      *result = 0;
      return true;
    }
  }
  return CTextPage::OnMessage(message, wParam, lParam, result);
}

HBRUSH CUserExitDlg::OnCtlColor(HDC dc, HWND control, UINT message) {
  if (control == GetDlgItem(IDC_USER_EXIT_LOG_LINK)) {
    CTextPage::OnCtlColor(dc, control, message);
    SetBkColor(dc, 0xFFFFFF);
    return m_whiteBrush;
  }
  return CTextPage::OnCtlColor(dc, control, message);
}
