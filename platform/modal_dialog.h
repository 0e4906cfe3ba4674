#pragma once
// modal_dialog.h: a modal dialog from a template, run by DialogBoxParamW (or
// from the template of a named language by DialogBoxIndirectParamW), whose
// procedure hands messages to virtual functions of the object.
#include <windows.h>

#include <string>

class CModalDialog {
 public:
  CModalDialog(UINT templateId, HWND parent);
  CModalDialog(const CModalDialog&) = delete;
  CModalDialog& operator=(const CModalDialog&) = delete;
  virtual ~CModalDialog() = default;

  // The template is taken in this language, else in English; 0 (the
  // default) lets the system choose.
  void SetLanguage(LANGID language) { m_language = language; }
  UINT GetTemplateId() const { return m_templateId; }

  // The value given to EndDialog, or -1 when the dialog could not be created.
  // A handler that throws ends the dialog with the boundary reporter's status.
  INT_PTR DoModal();
  void EndDialog(INT_PTR result);
  HWND GetSafeHwnd() const { return m_window; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_window, id); }
  void SetItemText(int id, const std::wstring& text) const;
  std::wstring GetItemText(int id) const;

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // True when the message was handled; *result is then the procedure's
  // answer (a message that needs an answer value sets DWLP_MSGRESULT itself).
  // The default hands WM_COMMAND to OnCommand.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);
  // True when handled. IDOK and IDCANCEL end the dialog with their id when
  // nothing handles them.
  virtual bool OnCommand(int id, int code);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  HWND m_parent;
  LANGID m_language = 0;
  HWND m_window = nullptr;
};
