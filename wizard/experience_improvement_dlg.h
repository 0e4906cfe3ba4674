#pragma once
// experience_improvement_dlg.h: CExperienceImprovementDlg, the usage-data programme page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CExperienceImprovementDlg : public CTextPage {
 public:
  CExperienceImprovementDlg()
      : CTextPage(IDD_WIZ_EXPERIENCE_IMPROVEMENT, IDC_UEIP_TITLE, {IDC_UEIP_ACCEPT}) {}
};
