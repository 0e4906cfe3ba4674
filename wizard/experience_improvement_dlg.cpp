// experience_improvement_dlg.cpp: the programme's text and the user's consent.
#include "wizard/experience_improvement_dlg.h"

#include "engine/setup_state.h"
#include "resources/resource_ids.h"

CExperienceImprovementDlg::CExperienceImprovementDlg()
    : CRichTextPage(IDD_WIZ_EXPERIENCE_IMPROVEMENT, IDC_UEIP_TITLE, IDS_UEIP_TITLE_NO_COMPANY, {IDC_UEIP_ACCEPT},
                    IDC_UEIP_TEXT, IDC_UEIP_ACCEPT, L"UEIP") {}

BOOL CExperienceImprovementDlg::OnInitDialog() {
  CRichTextPage::OnInitDialog();
  CSetupState* state = GetState();
  CheckDlgButton(GetSafeHwnd(), IDC_UEIP_ACCEPT, state && state->m_ueipAccepted ? BST_CHECKED : BST_UNCHECKED);
  return TRUE;
}

LRESULT CExperienceImprovementDlg::OnWizardNext() {
  if (CSetupState* state = GetState()) state->m_ueipAccepted = IsChecked() ? 1 : 0;
  return CRichTextPage::OnWizardNext();
}
