// cancel_dlg.cpp: the cancel question in the interface language.
#include "wizard/cancel_dlg.h"

#include "engine/setup_state.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/message_box.h"
#include "wizard/wizard_text.h"

CCancelDlg::CCancelDlg(HWND parent) : CModalDialog(IDD_CANCEL_DIALOG, parent) {
  SetLanguage(GetResourceLanguageId());
}

void CCancelDlg::SetRun(const CSetupState* state, bool selectionChosen) {
  if (!state) return;
  m_productName = state->GetProductName();
  UINT question = CancelQuestionId(state, selectionChosen);
  if (question != 0) m_message = LoadResourceString(question);
}

BOOL CCancelDlg::OnInitDialog() {
  std::wstring question = m_message.empty() ? GetItemText(IDC_CANCEL_QUESTION) : m_message;
  SetItemText(IDC_CANCEL_QUESTION, ReplaceAll(question, L"[ProductName]", m_productName));
  SetItemText(IDYES, ReplaceAll(GetItemText(IDYES), L"[ButtonText_Yes]", LoadResourceString(IDS_BUTTON_YES)));
  SetItemText(IDNO, ReplaceAll(GetItemText(IDNO), L"[ButtonText_No]", LoadResourceString(IDS_BUTTON_NO)));
  SetWindowTextW(GetSafeHwnd(), m_productName.c_str());
  // A shared system icon: nothing to destroy later.
  SendDlgItemMessageW(GetSafeHwnd(), IDC_CANCEL_ICON, STM_SETICON,
                      reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
  // Over the wizard, not the middle of the screen where it may hide its buttons.
  CentreOnOwner(GetSafeHwnd(), GetParent(GetSafeHwnd()));
  if (!m_noByDefault) return TRUE;
  SendMessageW(GetSafeHwnd(), DM_SETDEFID, IDNO, 0);
  SetFocus(GetDlgItem(IDNO));
  return FALSE;  // the focus is set
}

bool CCancelDlg::OnCommand(int id, int) {
  if (id == IDYES) EndDialog(kYes);
  else if (id == IDNO || id == IDCANCEL) EndDialog(kNo);
  else return false;
  return true;
}
