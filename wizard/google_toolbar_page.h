#pragma once
// google_toolbar_page.h: CGoogleToolbarPage, the toolbar offer page: an
// opt-out box whose answer becomes the toolbar product's selection.
#include <windows.h>

#include "wizard/offer_page.h"

class CGoogleToolbarPage : public COfferPage {
 public:
  CGoogleToolbarPage();

  bool IsPageSkipped() override;

 protected:
  BOOL OnInitDialog() override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;

 private:
  void RecordChoice();

  // The browser offer as it was when the page was made: declining the
  // toolbar gives it back.
  LONG m_savedBrowserOffer = 0;
};
