#pragma once
// google_chrome_page.h: CGoogleChromePage, the browser offer page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CGoogleChromePage : public CTextPage {
 public:
  CGoogleChromePage() : CTextPage(IDD_WIZ_GOOGLE_CHROME, IDC_OFFER_TITLE, {}) {}
};
