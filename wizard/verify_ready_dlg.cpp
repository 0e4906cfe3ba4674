// verify_ready_dlg.cpp: the Install/Repair/Remove confirmation and the
// disk-space check before the run.
#include "wizard/verify_ready_dlg.h"

#include "engine/feature_list.h"
#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/message_box.h"
#include "wizard/setup_sheet.h"
#include "wizard/wizard_text.h"

CVerifyReadyDlg::CVerifyReadyDlg()
    : CTextPage(IDD_WIZ_VERIFY, IDC_VERIFY_TITLE, {IDC_VERIFY_SUBTITLE, IDC_VERIFY_BODY}) {}

BOOL CVerifyReadyDlg::OnInitDialog() {
  // The template texts, before the tokens are replaced: each activation
  // fills them in again for the setup type of that moment.
  m_titleText = GetItemText(IDC_VERIFY_TITLE);
  m_subtitleText = GetItemText(IDC_VERIFY_SUBTITLE);
  m_bodyText = GetItemText(IDC_VERIFY_BODY);
  CTextPage::OnInitDialog();
  return TRUE;
}

void CVerifyReadyDlg::ForceSelections(bool selected) const {
  CSetupState* state = GetState();
  if (!state) return;
  // The page before the run must not replace the user's own choice of what
  // to keep or remove with all or nothing.
  CSetupSheet* sheet = GetSetupSheet();
  if (sheet && sheet->IsSelectionChosenOnCustomize()) {
    WriteLog(L"Keeping the selections made on the Customize page");
    return;
  }
  for (const auto& entry : state->m_products) {
    CProductData& product = *entry.second;
    if (CSelectionState* selection = product.GetSelection()) selection->SetCurrent(selected, true);
    if (CFeatureList* features = product.GetFeatures()) features->SetSelected(selected);
  }
}

bool CVerifyReadyDlg::OnSetActive() {
  CSetupSheet* sheet = GetSetupSheet();
  CSetupState* state = GetState();
  int type = state ? static_cast<int>(state->m_setupType) : SetupTypeComplete;
  if (sheet) {
    if (type == SetupTypeRemove) {
      ForceSelections(false);
      // A removal that keeps products is confirmed as the page's own action.
      sheet->SetNextButtonText(RemovesWholeSuite(state) ? IDS_BUTTON_REMOVE : IDS_BUTTON_INSTALL);
    } else if (type == SetupTypeRepair) {
      sheet->SetNextButtonText(IDS_BUTTON_REPAIR);
      ForceSelections(true);
    } else {
      sheet->SetNextButtonText(IDS_BUTTON_INSTALL);
    }
  }
  SetTexts();
  return CTextPage::OnSetActive();
}

void CVerifyReadyDlg::SetTexts() {
  CSetupState* state = GetState();
  int type = state ? static_cast<int>(state->m_setupType) : SetupTypeComplete;
  bool maintenance = state && state->m_maintenanceMode;
  SetItemText(IDC_VERIFY_TITLE, ReplaceWizardTokens(m_titleText, state));
  SetItemText(IDC_VERIFY_SUBTITLE, ReplaceWizardTokens(m_subtitleText, state));
  if (maintenance && RemovesWholeSuite(state)) {
    SetItemText(IDC_VERIFY_BODY, PageString(IDS_VERIFY_REMOVE_BODY));
    SetItemText(IDC_VERIFY_TITLE, PageString(IDS_VERIFY_REMOVE_TITLE));
    SetItemText(IDC_VERIFY_SUBTITLE, PageString(IDS_REMOVE_CHOSEN));
  } else if (maintenance && type == SetupTypeRepair) {
    SetItemText(IDC_VERIFY_BODY, PageString(IDS_VERIFY_REPAIR_BODY));
    SetItemText(IDC_VERIFY_TITLE, PageString(IDS_VERIFY_REPAIR_TITLE));
    SetItemText(IDC_VERIFY_SUBTITLE, PageString(IDS_REPAIR_CHOSEN));
  } else {
    SetItemText(IDC_VERIFY_BODY, ReplaceWizardTokens(m_bodyText, state));
    if (type == SetupTypeCleanSystem) {
      SetItemText(IDC_VERIFY_TITLE, PageString(IDS_VERIFY_REMOVE_TITLE));
      SetItemText(IDC_VERIFY_SUBTITLE, PageString(IDS_REMOVE_CHOSEN));
      SetItemText(IDC_VERIFY_BODY, PageString(IDS_VERIFY_CLEAN_BODY));
      if (CSetupSheet* sheet = GetSetupSheet()) sheet->SetNextButtonText(IDS_BUTTON_REMOVE);
    }
  }
}

bool CVerifyReadyDlg::CheckDiskSpace() {
  CSetupSheet* sheet = GetSetupSheet();
  CSetupState* state = GetState();
  if (!sheet || (state && state->m_setupType == SetupTypeCleanSystem)) return true;
  sheet->ComputeRequiredSpace();
  // Space that cannot be measured is not known to be short (logged there).
  if (!sheet->ComputeAvailableSpace()) return true;
  if (sheet->GetAvailableSpace() >= sheet->GetRequiredSpace()) return true;
  std::wstring text = PageString(IDS_VERIFY_OUT_OF_DISK);
  text = ReplaceAll(text, L"[2]", sheet->GetInstallRoot());
  text = ReplaceAll(text, L"[3]", FormatDecimal(sheet->GetRequiredSpace() / 1024));
  text = ReplaceAll(text, L"[4]", FormatDecimal(sheet->GetAvailableSpace() / 1024));
  WriteLog(L"%s", text.c_str());
  CMessageBox::ShowSystemBox(GetSafeHwnd(), text, PageString(IDS_SHEET_TITLE), MB_OK);
  return false;
}

LRESULT CVerifyReadyDlg::OnWizardNext() {
  if (CSetupSheet* sheet = GetSetupSheet()) sheet->SetNextButtonText(IDS_BUTTON_NEXT);
  if (!CheckDiskSpace()) return -1;
  return CTextPage::OnWizardNext();
}

LRESULT CVerifyReadyDlg::OnWizardBack() {
  if (CSetupSheet* sheet = GetSetupSheet()) sheet->SetNextButtonText(IDS_BUTTON_NEXT);
  return CTextPage::OnWizardBack();
}
