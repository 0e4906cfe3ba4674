// exit_dlg.cpp: the completion texts and the restart question.
#include "wizard/exit_dlg.h"

#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"
#include "wizard/cancel_dlg.h"
#include "wizard/exit_restart.h"
#include "wizard/message_box.h"
#include "wizard/setup_sheet.h"

CExitDlg::CExitDlg() : CTextPage(IDD_WIZ_FINISH, IDC_FINISH_TITLE, {IDC_FINISH_BODY}) {}

BOOL CExitDlg::OnInitDialog() {
  CTextPage::OnInitDialog();
  CSetupSheet* sheet = GetSetupSheet();
  m_fullUi = !sheet || sheet->ShowHeaders();
  if (m_fullUi) {
    if (HWND title = GetDlgItem(IDC_FINISH_TITLE)) {
      if (m_bigBoldFont) SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(m_bigBoldFont), FALSE);
    }
  } else if (sheet) {
    ShowWindow(sheet->GetSafeHwnd(), SW_HIDE);
  }
  return TRUE;
}

bool CExitDlg::OnSetActive() {
  if (CSetupSheet* sheet = GetSetupSheet()) {
    EnableWindow(::GetDlgItem(sheet->GetSafeHwnd(), IDCANCEL), FALSE);
  }
  return CTextPage::OnSetActive();
}

// A restart that was declined or suppressed, or that the caller is handed
// or the end of the run settles, is not asked for here.
bool CExitDlg::OnWizardFinish() {
  CSetupState* state = GetState();
  CSetupSheet* sheet = GetSetupSheet();
  if (state && state->m_rebootPending && state->m_rebootApproved && sheet && sheet->FinishAsksForRestart()) {
    AskForRestart();
  }
  return CTextPage::OnWizardFinish();
}

void CExitDlg::AskForRestart() {
  CSetupState* state = GetState();
  CSetupSheet* sheet = GetSetupSheet();
  WriteLog(L"Displaying reboot prompt in exit dialog");
  CCancelDlg question(sheet ? sheet->GetSafeHwnd() : nullptr);
  question.SetProductName(state->GetProductName());
  question.SetMessage(ReplaceAll(PageString(IDS_EXIT_RESTART_PROMPT), L"[2]", state->GetProductName()));
  if (question.DoModal() != CCancelDlg::kYes) {
    WriteLog(L"Setting reboot approved flag to FALSE in exit dialog");
    state->m_rebootApproved = 0;
    return;
  }
  WriteLog(L"Rebooting from exit dialog");
  std::wstring caption = PageString(IDS_SHEET_TITLE);
  CExitRestart restart(nullptr, [caption](const std::wstring& text) {
    CMessageBox::ShowSystemBox(nullptr, text, caption, MB_OK | MB_ICONWARNING);
  });
  restart.Run(state);
}
