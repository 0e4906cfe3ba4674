#pragma once
// user_exit_dlg.h: CUserExitDlg, the page that ends a cancelled or failed run.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CUserExitDlg : public CTextPage {
 public:
  CUserExitDlg() : CTextPage(IDD_WIZ_USER_EXIT, IDC_USER_EXIT_TITLE, {IDC_USER_EXIT_BODY, IDC_USER_EXIT_NOTE}) {}
};
