// files_in_use_dlg.cpp: the "Files in Use" dialog. It runs on the worker's
// thread, modal to the host dialog, while the wizard may show its progress.
#include "wizard/files_in_use_dlg.h"

#include <richedit.h>

#include "engine/setup_globals.h"
#include "engine/setup_state.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "platform/system_dlls.h"
#include "platform/window_text.h"
#include "resources/resource_ids.h"
#include "wizard/cancel_dlg.h"
#include "wizard/message_box.h"

CFilesInUseDlg::CFilesInUseDlg(const std::wstring& applicationList, const CSetupState* state, HWND parent)
    : CModalDialog(IDD_FILES_IN_USE, parent), m_applicationList(applicationList), m_state(state) {
  SetLanguage(GetResourceLanguageId());
}

bool CFilesInUseDlg::LoadRichEdit() {
  // Loaded once and kept: the class must outlive every dialog that uses it.
  static HMODULE library = LoadSystemDll(L"msftedit.dll");
  return library != nullptr;
}

int CFilesInUseDlg::Ask(HWND owner, const std::wstring& applications, const CSetupState* state) {
  if (!LoadRichEdit()) {
    WriteLog(L"Unable to load the rich edit library for the 'Files in Use' dialog. Error code = %d",
             GetLastError());
    return -1;
  }
  CFilesInUseDlg dialog(applications, state, owner);
  INT_PTR result = dialog.DoModal();
  if (result == -1) WriteLog(L"Unable to show the 'Files in Use' dialog. Error code = %d", GetLastError());
  return static_cast<int>(result);
}

BOOL CFilesInUseDlg::OnInitDialog() {
  HWND window = GetSafeHwnd();
  if (g_rightToLeft) {
    LONG_PTR style = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, style | WS_EX_LAYOUTRTL | WS_EX_RTLREADING);
  }
  SetWindowTextW(window, LoadResourceString(IDS_APP_NAME).c_str());
  SetItemText(IDC_FILES_IN_USE_OK, LoadResourceString(IDS_BOX_OK));
  SetItemText(IDC_FILES_IN_USE_CANCEL, LoadResourceString(IDS_BUTTON_CANCEL));
  SetItemText(IDC_FILES_IN_USE_IGNORE, LoadResourceString(IDS_BOX_IGNORE));
  SetItemText(IDC_FILES_IN_USE_PROMPT, LoadResourceString(IDS_FILES_IN_USE_PROMPT));
  HWND list = GetDlgItem(IDC_FILES_IN_USE_LIST);
  // Window titles and file names read left to right in a mirrored dialog too.
  KeepLeftToRightReading(list);
  SendMessageW(list, EM_SETTARGETDEVICE, 0, 0);  // wrap at the control's width
  SendMessageW(list, EM_SETREADONLY, TRUE, 0);
  SendMessageW(list, EM_EXLIMITTEXT, 0, 0);
  SetWindowTextW(list, m_applicationList.c_str());
  SetFocus(GetDlgItem(IDC_FILES_IN_USE_OK));
  // Over the wizard, which stands for the hidden window that owns it.
  CentreOnOwner(window, GetParent(window));
  return FALSE;  // the focus is set
}

bool CFilesInUseDlg::OnCommand(int id, int) {
  switch (id) {
    case IDOK:  // Enter
    case IDC_FILES_IN_USE_OK:
      EndDialog(kCloseApplications);
      return true;
    case IDC_FILES_IN_USE_IGNORE:
      EndDialog(kIgnore);
      return true;
    case IDCANCEL:  // Escape and the window's Close
    case IDC_FILES_IN_USE_CANCEL:
      OnCancel();
      return true;
    default:
      return false;
  }
}

// Only a confirmed cancel ends the dialog; No leaves it as it was.
void CFilesInUseDlg::OnCancel() {
  CCancelDlg confirmation(nullptr);
  confirmation.SetProductName(m_state ? m_state->GetShortProductName() : std::wstring());
  if (confirmation.DoModal() == CCancelDlg::kYes) EndDialog(kCancelSetup);
}
