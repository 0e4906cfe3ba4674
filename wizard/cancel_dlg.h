#pragma once
// cancel_dlg.h: CCancelDlg, the question whether to cancel the setup.
#include <windows.h>

#include <string>

#include "platform/modal_dialog.h"

class CSetupState;

class CCancelDlg : public CModalDialog {
 public:
  // DoModal's answers.
  static const INT_PTR kYes = 1;
  static const INT_PTR kNo = 2;

  explicit CCancelDlg(HWND parent);

  void SetProductName(const std::wstring& name) { m_productName = name; }
  // The question whether to cancel the state's run: its product, and the
  // verb of its kind (install, repair, removal); `selectionChosen`: the run
  // shows the Customize page (CancelQuestionId).
  void SetRun(const CSetupState* state, bool selectionChosen);
  // Replaces the template's question when not empty.
  void SetMessage(const std::wstring& message) { m_message = message; }
  // Enter answers No: for a question whose Yes removes products.
  void SetNoByDefault() { m_noByDefault = true; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code) override;

 private:
  std::wstring m_productName;
  std::wstring m_message;
  bool m_noByDefault = false;
};
