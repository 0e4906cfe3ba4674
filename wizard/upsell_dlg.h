#pragma once
// upsell_dlg.h: CUpsellDlg, the maker's offer page; here its offline text.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CUpsellDlg : public CTextPage {
 public:
  CUpsellDlg() : CTextPage(IDD_WIZ_UPSELL, IDC_UPSELL_OFFLINE_TEXT, {}) {}
};
