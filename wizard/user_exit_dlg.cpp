// user_exit_dlg.cpp: the interrupted-setup texts and the link to the log.
#include "wizard/user_exit_dlg.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "actions/command_options.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/google_chrome_page.h"
#include "wizard/offer_choice.h"
#include "wizard/setup_sheet.h"
#include "wizard/text_fit.h"

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
  ShowProductsNotRestored();
  return CTextPage::OnSetActive();
}

// The worker has named them before it let the wizard come here. The body
// grows down to the page's foot as far as the names need, the texts below
// it moving along; names beyond that end in an ellipsis (the box before
// this page and the log name them all).
void CUserExitDlg::ShowProductsNotRestored() {
  CSetupState* state = GetState();
  HWND body = GetDlgItem(IDC_USER_EXIT_BODY);
  HWND note = GetDlgItem(IDC_USER_EXIT_NOTE);
  if (!m_fullUi || m_notRestoredShown || !state || !body || !note) return;
  std::vector<std::wstring> names = state->GetProductsNotRestored();
  if (names.empty()) return;
  m_notRestoredShown = true;
  WriteLog(L"The interrupted page names %d products this run removed and did not install again",
           static_cast<int>(names.size()));
  RECT page = {}, bodyRect = {}, noteRect = {};
  GetClientRect(GetSafeHwnd(), &page);
  GetWindowRect(body, &bodyRect);
  GetWindowRect(note, &noteRect);
  // Mirrored pages map the rectangles alike: only heights and tops are used.
  MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&bodyRect), 2);
  MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&noteRect), 2);
  int gap = noteRect.top - bodyRect.bottom;
  int below = noteRect.bottom - noteRect.top + gap;
  if (HWND link = GetDlgItem(IDC_USER_EXIT_LOG_LINK)) {
    RECT linkRect = {};
    GetWindowRect(link, &linkRect);
    MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&linkRect), 2);
    below = linkRect.bottom - noteRect.top + gap;
  }
  int room = std::max<int>(bodyRect.bottom - bodyRect.top, page.bottom - gap - below - bodyRect.top);
  std::wstring text = PageString(IDS_USER_EXIT_NOT_RESTORED);
  auto fits = [body, room](const std::wstring& t) { return WrappedTextHeight(body, t) <= room; };
  std::wstring list;
  for (const std::wstring& name : names) list += (list.empty() ? L"" : L"\n") + name;
  list = ShortenWithEllipsis(list, [&](const std::wstring& shown) {
    return fits(ReplaceAll(text, L"_PRODUCTS_", shown));
  });
  text = ReplaceAll(text, L"_PRODUCTS_", list);
  int height = std::max<int>(bodyRect.bottom - bodyRect.top, std::min(room, WrappedTextHeight(body, text)));
  SetWindowPos(body, nullptr, 0, 0, bodyRect.right - bodyRect.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(body, text.c_str());
  int distance = bodyRect.top + height - bodyRect.bottom;
  MoveDown(IDC_USER_EXIT_NOTE, distance);
  MoveDown(IDC_USER_EXIT_LOG_LINK, distance);
}

void CUserExitDlg::MoveDown(int id, int distance) const {
  HWND control = GetDlgItem(id);
  if (!control || distance <= 0) return;
  RECT rect = {};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&rect), 2);
  // In a mirrored page the mapped left edge is the control's right one.
  SetWindowPos(control, nullptr, std::min(rect.left, rect.right), rect.top + distance, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
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
