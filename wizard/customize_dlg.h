#pragma once
// customize_dlg.h: CCustomizeDlg, the feature selection page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CCustomizeDlg : public CTextPage {
 public:
  CCustomizeDlg() : CTextPage(IDD_WIZ_CUSTOMIZE, IDC_CUSTOMIZE_TITLE, {IDC_CUSTOMIZE_SUBTITLE}) {}
};
