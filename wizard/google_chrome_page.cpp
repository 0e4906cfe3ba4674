// google_chrome_page.cpp: the browser offer and the user's answer to it.
#include "wizard/google_chrome_page.h"

#include "engine/setup_state.h"
#include "resources/resource_ids.h"

CGoogleChromePage::CGoogleChromePage()
    : COfferPage(IDD_WIZ_GOOGLE_CHROME, IDC_CHROME_IMAGE, ChromeImageResourceId, IDC_CHROME_FRAME,
                 IDC_CHROME_LINKS, {{L"terms", IDS_CHROME_TERMS_ADDRESS}, {L"policy", IDS_CHROME_POLICY_ADDRESS}},
                 {IDC_CHROME_FRAME, IDC_CHROME_INCLUDE, IDC_CHROME_DEFAULT, IDC_CHROME_LINKS}) {}

bool CGoogleChromePage::IsPageSkipped() {
  if (COfferPage::IsPageSkipped()) return true;
  CSetupState* state = GetState();
  return !state || !state->m_browserOffer;
}

BOOL CGoogleChromePage::OnInitDialog() {
  COfferPage::OnInitDialog();
  ReplaceTokensInControl(IDC_CHROME_INCLUDE);
  CheckDlgButton(GetSafeHwnd(), IDC_CHROME_INCLUDE, BST_CHECKED);
  CheckDlgButton(GetSafeHwnd(), IDC_CHROME_DEFAULT, BST_CHECKED);
  return TRUE;
}

// Without the browser it cannot be the default one.
bool CGoogleChromePage::OnCommand(int id, int code) {
  if (id == IDC_CHROME_INCLUDE && code == BN_CLICKED) {
    bool included = BoxState(IDC_CHROME_INCLUDE) == kOfferBoxChecked;
    if (!included) CheckDlgButton(GetSafeHwnd(), IDC_CHROME_DEFAULT, BST_UNCHECKED);
    if (HWND makeDefault = GetDlgItem(IDC_CHROME_DEFAULT)) EnableWindow(makeDefault, included ? TRUE : FALSE);
    return true;
  }
  return COfferPage::OnCommand(id, code);
}

void CGoogleChromePage::RecordChoice() {
  if (CSetupState* state = GetState()) {
    RecordChromeChoice(*state, BoxState(IDC_CHROME_INCLUDE), BoxState(IDC_CHROME_DEFAULT), &m_chromeChosen);
  }
}

LRESULT CGoogleChromePage::OnWizardNext() {
  RecordChoice();
  return COfferPage::OnWizardNext();
}

LRESULT CGoogleChromePage::OnWizardBack() {
  RecordChoice();
  return COfferPage::OnWizardBack();
}
