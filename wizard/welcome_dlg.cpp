// welcome_dlg.cpp: the welcome texts; an installed suite is welcomed to
// its repair or removal.
#include "wizard/welcome_dlg.h"

#include "engine/setup_state.h"
#include "resources/resource_ids.h"

CWelcomeDlg::CWelcomeDlg() : CTextPage(IDD_WIZ_WELCOME, IDC_WELCOME_TITLE, {IDC_WELCOME_BODY}) {}

BOOL CWelcomeDlg::OnInitDialog() {
  CTextPage::OnInitDialog();
  CSetupState* state = GetState();
  if (state && state->m_maintenanceMode) SetItemText(IDC_WELCOME_BODY, PageString(IDS_MAINTENANCE_WELCOME));
  return TRUE;
}
