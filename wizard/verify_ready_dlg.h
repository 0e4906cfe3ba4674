#pragma once
// verify_ready_dlg.h: CVerifyReadyDlg, the last page before the installation runs.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CVerifyReadyDlg : public CTextPage {
 public:
  CVerifyReadyDlg()
      : CTextPage(IDD_WIZ_VERIFY, IDC_VERIFY_TITLE, {IDC_VERIFY_SUBTITLE, IDC_VERIFY_BODY}) {}
};
