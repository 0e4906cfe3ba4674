#pragma once
// google_toolbar_page.h: CGoogleToolbarPage, the toolbar offer page.
#include "resources/resource_ids.h"
#include "wizard/text_page.h"

class CGoogleToolbarPage : public CTextPage {
 public:
  CGoogleToolbarPage() : CTextPage(IDD_WIZ_GOOGLE_TOOLBAR, IDC_OFFER_TITLE, {IDC_OFFER_SUBTITLE}) {}
};
