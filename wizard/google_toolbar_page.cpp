// google_toolbar_page.cpp: the toolbar offer and the user's answer to it.
#include "wizard/google_toolbar_page.h"

#include "engine/setup_state.h"
#include "resources/resource_ids.h"

CGoogleToolbarPage::CGoogleToolbarPage()
    : COfferPage(IDD_WIZ_GOOGLE_TOOLBAR, IDC_TOOLBAR_IMAGE, ToolbarImageResourceId, IDC_TOOLBAR_FRAME,
                 IDC_TOOLBAR_LINKS,
                 {{L"termsToolbar", IDS_TOOLBAR_TERMS_ADDRESS}, {L"policyToolbar", IDS_TOOLBAR_POLICY_ADDRESS}},
                 {IDC_TOOLBAR_FRAME, IDC_TOOLBAR_INSTALL, IDC_TOOLBAR_REMOVABLE, IDC_TOOLBAR_LINKS}) {}

bool CGoogleToolbarPage::IsPageSkipped() {
  if (COfferPage::IsPageSkipped()) return true;
  CSetupState* state = GetState();
  return !state || !state->m_toolbarOffer;
}

BOOL CGoogleToolbarPage::OnInitDialog() {
  COfferPage::OnInitDialog();
  CheckDlgButton(GetSafeHwnd(), IDC_TOOLBAR_INSTALL, BST_CHECKED);
  if (CSetupState* state = GetState()) m_savedBrowserOffer = state->m_browserOffer;
  return TRUE;
}

void CGoogleToolbarPage::RecordChoice() {
  if (CSetupState* state = GetState()) RecordToolbarChoice(*state, BoxState(IDC_TOOLBAR_INSTALL), m_savedBrowserOffer);
}

LRESULT CGoogleToolbarPage::OnWizardNext() {
  RecordChoice();
  return COfferPage::OnWizardNext();
}

LRESULT CGoogleToolbarPage::OnWizardBack() {
  RecordChoice();
  return COfferPage::OnWizardBack();
}
