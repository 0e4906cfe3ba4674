#pragma once
// welcome_dlg.h: CWelcomeDlg, the first page of a run.
#include "wizard/text_page.h"

class CWelcomeDlg : public CTextPage {
 public:
  CWelcomeDlg();

 protected:
  BOOL OnInitDialog() override;
};
