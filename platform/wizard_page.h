#pragma once
// wizard_page.h: one page of a wizard property sheet (PROPSHEETPAGEW), whose
// dialog procedure hands the sheet's notifications and the page's messages
// to virtual functions of the object.
#include <windows.h>

#include <string>

class CWizardSheet;

class CWizardPage {
 public:
  explicit CWizardPage(UINT templateId);
  CWizardPage(const CWizardPage&) = delete;
  CWizardPage& operator=(const CWizardPage&) = delete;
  virtual ~CWizardPage() = default;

  UINT GetTemplateId() const { return m_templateId; }
  void SetTemplateId(UINT templateId) { m_templateId = templateId; }
  // PSP_* flags of the page header beyond those the layer sets itself.
  DWORD GetPageFlags() const { return m_pageFlags; }
  void SetPageFlags(DWORD flags) { m_pageFlags = flags; }

  HWND GetSafeHwnd() const { return m_window; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_window, id); }
  void SetItemText(int id, const std::wstring& text) const;
  std::wstring GetItemText(int id) const;
  // The sheet the page was added to; null before.
  CWizardSheet* GetSheet() const { return m_sheet; }
  // MapDialogRect on the grid the page is laid out on.
  void MapLayoutRect(RECT* rect) const;
  // Enter in the control (a read-only text, which would swallow it) presses
  // the sheet's default button, as it does everywhere else on the page.
  void LeaveReturnToSheet(int id) const;

 protected:
  friend class CWizardSheet;

  virtual BOOL OnInitDialog() { return TRUE; }
  // False refuses the activation: the sheet goes on in the direction it was
  // travelling.
  virtual bool OnSetActive() { return true; }
  // False keeps the page.
  virtual bool OnKillActive() { return true; }
  // 0 goes on to the neighbouring page, -1 stays.
  virtual LRESULT OnWizardNext() { return 0; }
  virtual LRESULT OnWizardBack() { return 0; }
  // True lets the sheet close.
  virtual bool OnWizardFinish() { return true; }
  // True lets the sheet close through Cancel.
  virtual bool OnQueryCancel() { return true; }
  // True when handled (a command forwarded by the sheet included).
  virtual bool OnCommand(int id, int code);
  // True when the message was handled; *result is then the procedure's
  // answer. The default hands WM_COMMAND to OnCommand.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

 private:
  static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnNotify(const NMHDR* header);

  UINT m_templateId;
  DWORD m_pageFlags = 0;
  HWND m_window = nullptr;
  CWizardSheet* m_sheet = nullptr;
};
