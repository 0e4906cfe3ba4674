#pragma once
// product_information_dlg.h: CProductInformationDlg, the suite's product information page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CProductInformationDlg : public CTextPage {
 public:
  CProductInformationDlg()
      : CTextPage(IDD_WIZ_PRODUCT_INFORMATION, IDC_PRODUCT_INFORMATION_TITLE, {IDC_PRODUCT_INFORMATION_BODY}) {}
};
