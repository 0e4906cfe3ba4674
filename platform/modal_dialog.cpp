// modal_dialog.cpp: the dialog procedure that routes messages to the object.
// It is a no-throw boundary: Windows calls it.
#include "platform/modal_dialog.h"

#include <windows.h>

#include "platform/callback_boundary.h"

CModalDialog::CModalDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR CModalDialog::DoModal() {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_parent,
                         DialogProc, reinterpret_cast<LPARAM>(this));
}

void CModalDialog::EndDialog(INT_PTR result) {
  if (m_window) ::EndDialog(m_window, result);
}

bool CModalDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CModalDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CModalDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->m_window = window;
  } else {
    dialog = reinterpret_cast<CModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
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
