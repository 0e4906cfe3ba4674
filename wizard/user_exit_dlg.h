#pragma once
// user_exit_dlg.h: CUserExitDlg, the page that ends a cancelled or failed run.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CUserExitDlg : public CTextPage {
 public:
  CUserExitDlg() : CTextPage(IDD_WIZ_USER_EXIT, IDC_USER_EXIT_TITLE, {IDC_USER_EXIT_BODY, IDC_USER_EXIT_NOTE}) {}

  // Set by the Progress page when a cancel or a rollback leaves it: the
  // page then offers the setup log.
  void SetShowLogLink(bool show) { m_showLogLink = show; }
  bool GetShowLogLink() const { return m_showLogLink; }

 private:
  bool m_showLogLink = false;
};
