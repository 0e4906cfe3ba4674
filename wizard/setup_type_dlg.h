#pragma once
// setup_type_dlg.h: CSetupTypeDlg, the setup type page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CSetupTypeDlg : public CTextPage {
 public:
  CSetupTypeDlg()
      : CTextPage(IDD_WIZ_INSTALL_MODE, IDC_SETUP_TYPE_TITLE, {IDC_SETUP_TYPE_SUBTITLE}) {}
};
