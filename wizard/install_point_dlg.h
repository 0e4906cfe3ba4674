#pragma once
// install_point_dlg.h: CInstallPointDlg, the install location page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CInstallPointDlg : public CTextPage {
 public:
  CInstallPointDlg()
      : CTextPage(IDD_WIZ_INSTALL_POINT, IDC_INSTALL_POINT_TITLE, {IDC_INSTALL_POINT_SUBTITLE}) {}
};
