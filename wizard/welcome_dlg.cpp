// welcome_dlg.cpp: the welcome texts; an installed suite is welcomed to
// its repair or removal.
#include "wizard/welcome_dlg.h"

#include "engine/setup_state.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/text_fit.h"

CWelcomeDlg::CWelcomeDlg() : CTextPage(IDD_WIZ_WELCOME, IDC_WELCOME_TITLE, {IDC_WELCOME_BODY}) {}

BOOL CWelcomeDlg::OnInitDialog() {
  CTextPage::OnInitDialog();
  CSetupState* state = GetState();
  if (state && state->m_maintenanceMode) SetItemText(IDC_WELCOME_BODY, PageString(IDS_MAINTENANCE_WELCOME));
  // A name too long for the title's two lines would be cut off unseen.
  if (HWND title = GetDlgItem(IDC_WELCOME_TITLE)) {
    std::wstring text = GetWindowTextString(title);
    std::wstring shown = ShortenWithEllipsis(text, [title](const std::wstring& t) { return FitsControl(title, t); });
    if (shown != text) SetWindowTextW(title, shown.c_str());
  }
  return TRUE;
}
