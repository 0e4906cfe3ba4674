// modal_dialog.cpp: the dialog procedure that routes messages to the object.
// It is a no-throw boundary: Windows calls it.
#include "platform/modal_dialog.h"

#include <windows.h>

#include "platform/callback_boundary.h"
#include "platform/dialog_template.h"
#include "platform/window_text.h"

namespace {

// The dialog this thread is creating: an owner-drawn control of the template
// asks for its item height (WM_MEASUREITEM) before WM_INITDIALOG.
thread_local CModalDialog* t_creating = nullptr;

class CCreatingDialog {
 public:
  explicit CCreatingDialog(CModalDialog* dialog) : m_outer(t_creating) { t_creating = dialog; }
  ~CCreatingDialog() { t_creating = m_outer; }

 private:
  CModalDialog* m_outer;
};

}  // namespace

CModalDialog::CModalDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CModalDialog::DoModal() {
  HMODULE module = GetModuleHandleW(nullptr);
  CCreatingDialog creating(this);
  if (m_language != 0) {
    const DLGTEMPLATE* dialog = LoadDialogTemplate(module, m_templateId, m_language);
    if (!dialog) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return -1;
    }
    return DialogBoxIndirectParamW(module, dialog, m_parent, DialogProc, reinterpret_cast<LPARAM>(this));
  }
  return DialogBoxParamW(module, MAKEINTRESOURCEW(m_templateId), m_parent, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void CModalDialog::EndDialog(INT_PTR result) {
  if (m_window) ::EndDialog(m_window, result);
}

void CModalDialog::SetItemText(int id, const std::wstring& text) const {
  SetDlgItemTextW(m_window, id, text.c_str());
}

std::wstring CModalDialog::GetItemText(int id) const { return GetWindowTextString(GetDlgItem(id)); }

bool CModalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result) {
  if (message != WM_COMMAND) return false;
  *result = TRUE;
  return OnCommand(LOWORD(wParam), HIWORD(wParam));
}

bool CModalDialog::OnCommand(int id, int) {
  if (id != IDOK && id != IDCANCEL) return false;
  EndDialog(id);
  return true;
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CModalDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CModalDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->m_window = window;
  } else {
    dialog = reinterpret_cast<CModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog && message == WM_MEASUREITEM && t_creating) {
      dialog = t_creating;
      SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
      dialog->m_window = window;
    }
  }
  if (!dialog) return FALSE;
  try {
    if (message == WM_INITDIALOG) return dialog->OnInitDialog();
    INT_PTR result = FALSE;
    if (dialog->OnMessage(message, wParam, lParam, &result)) return result;
  } catch (...) {
    // A handler that failed half-way leaves the dialog in no known state:
    // it ends, and its owner gets a failure status instead of a result.
    dialog->EndDialog(static_cast<INT_PTR>(ReportBoundaryException(L"a dialog procedure")));
  }
  if (message == WM_NCDESTROY) dialog->m_window = nullptr;
  return FALSE;
}
