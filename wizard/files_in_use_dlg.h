#pragma once
// files_in_use_dlg.h: CFilesInUseDlg, the list of open applications that
// hold the products' files, with the user's choice: close them, go on
// without closing them, or cancel setup.
#include <windows.h>

#include <string>

#include "platform/modal_dialog.h"

class CSetupState;

class CFilesInUseDlg : public CModalDialog {
 public:
  // DoModal's answers; -1 when the dialog could not be created.
  static const INT_PTR kCloseApplications = IDOK;
  static const INT_PTR kCancelSetup = IDCANCEL;
  static const INT_PTR kIgnore = IDIGNORE;

  // `applicationList` is shown as given, one application a line.
  CFilesInUseDlg(const std::wstring& applicationList, const CSetupState* state, HWND parent);

  // Makes the list's rich-edit class available; false when the library
  // cannot be loaded (the dialog would then not open).
  static bool LoadRichEdit();

  // The engine's "Files in Use" question, answered by this dialog.
  static int Ask(HWND owner, const std::wstring& applications, const CSetupState* state);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code) override;

 private:
  void OnCancel();

  std::wstring m_applicationList;
  const CSetupState* m_state;
};
