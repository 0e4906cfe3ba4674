// license_agreement_dlg.cpp: the licence text and its acceptance.
#include "wizard/license_agreement_dlg.h"

#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"
#include "wizard/setup_sheet.h"
#include "wizard/wiz_page_rules.h"

CLicenseAgreementDlg::CLicenseAgreementDlg()
    : CRichTextPage(IDD_WIZ_EULA, IDC_EULA_TITLE, IDS_EULA_TITLE_NO_COMPANY, {IDC_EULA_NOTE, IDC_EULA_ACCEPT},
                    IDC_EULA_TEXT, IDC_EULA_ACCEPT, L"license") {}

BOOL CLicenseAgreementDlg::OnInitDialog() {
  CRichTextPage::OnInitDialog();
  CheckDlgButton(GetSafeHwnd(), IDC_EULA_ACCEPT, BST_UNCHECKED);
  return TRUE;
}

// Posted after the base's buttons, so they win over them.
void CLicenseAgreementDlg::PostButtons() const {
  CSetupSheet* sheet = GetSetupSheet();
  if (!sheet) return;
  DWORD flags = m_buttonFlags;
  if (!IsChecked()) flags &= ~kWizButtonNext;
  CWizardSheet::PostWizButtons(sheet->GetSafeHwnd(), flags);
}

bool CLicenseAgreementDlg::OnSetActive() {
  if (!CRichTextPage::OnSetActive()) return false;
  PostButtons();
  return true;
}

bool CLicenseAgreementDlg::OnCommand(int id, int code) {
  if (id == IDC_EULA_ACCEPT && code == BN_CLICKED) {
    PostButtons();
    return true;
  }
  return CRichTextPage::OnCommand(id, code);
}

LRESULT CLicenseAgreementDlg::OnWizardNext() {
  // Wine presses a disabled Next too: an unaccepted licence keeps the page.
  if (!IsChecked()) return -1;
  if (CSetupState* state = GetState()) state->m_eulaAccepted = 1;
  WriteLog(L"License agreement accepted");
  return CRichTextPage::OnWizardNext();
}
