#pragma once
// experience_improvement_dlg.h: CExperienceImprovementDlg, the consent to
// the usage-data programme: the box starts as the state's choice and Next
// stores it.
#include "wizard/rich_text_page.h"

class CExperienceImprovementDlg : public CRichTextPage {
 public:
  CExperienceImprovementDlg();

 protected:
  BOOL OnInitDialog() override;
  LRESULT OnWizardNext() override;
};
