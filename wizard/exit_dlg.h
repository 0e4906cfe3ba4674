#pragma once
// exit_dlg.h: CExitDlg, the page that ends a successful run.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CExitDlg : public CTextPage {
 public:
  CExitDlg() : CTextPage(IDD_WIZ_FINISH, IDC_FINISH_TITLE, {IDC_FINISH_BODY}) {}
};
