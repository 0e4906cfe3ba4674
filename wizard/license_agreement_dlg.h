#pragma once
// license_agreement_dlg.h: CLicenseAgreementDlg, the licence agreement page:
// Next is offered only while the accept box is checked.
#include "wizard/rich_text_page.h"

class CLicenseAgreementDlg : public CRichTextPage {
 public:
  CLicenseAgreementDlg();

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  bool OnCommand(int id, int code) override;
  LRESULT OnWizardNext() override;

 private:
  void PostButtons() const;
};
