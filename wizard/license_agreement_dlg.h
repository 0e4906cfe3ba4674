#pragma once
// license_agreement_dlg.h: CLicenseAgreementDlg, the licence agreement page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CLicenseAgreementDlg : public CTextPage {
 public:
  CLicenseAgreementDlg()
      : CTextPage(IDD_WIZ_EULA, IDC_EULA_TITLE, {IDC_EULA_NOTE, IDC_EULA_ACCEPT}) {}
};
