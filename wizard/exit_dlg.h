#pragma once
// exit_dlg.h: CExitDlg, the page that ends a successful run; it offers the
// restart when the run left one pending.
#include "wizard/text_page.h"

class CExitDlg : public CTextPage {
 public:
  CExitDlg();

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  bool OnWizardFinish() override;

 private:
  void AskForRestart();

  bool m_fullUi = true;
};
