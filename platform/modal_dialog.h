#pragma once
// modal_dialog.h: a modal dialog from a template, run by DialogBoxParamW,
// whose procedure hands messages to virtual functions of the object.
#include <windows.h>

class CModalDialog {
 public:
  CModalDialog(UINT templateId, HWND parent);
  CModalDialog(const CModalDialog&) = delete;
  CModalDialog& operator=(const CModalDialog&) = delete;
  virtual ~CModalDialog() = default;

  // The value given to EndDialog, or -1 when the dialog could not be created.
  // A handler that throws ends the dialog with the boundary reporter's status.
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);
  HWND GetSafeHwnd() const { return m_window; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_window, id); }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // True when the message was handled; *result is then the procedure's
  // answer (a message that needs an answer value sets DWLP_MSGRESULT itself).
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  HWND m_parent;
  HWND m_window = nullptr;
};
