#pragma once
// remove_prog_dlg.h: CRemoveProgDlg, the page of programs removed before the install.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CRemoveProgDlg : public CTextPage {
 public:
  CRemoveProgDlg()
      : CTextPage(IDD_WIZ_REMOVE_PREVIOUS, IDC_REMOVE_PREVIOUS_TITLE,
                  {IDC_REMOVE_PREVIOUS_SUBTITLE, IDC_REMOVE_PREVIOUS_BODY}) {}
};
