#pragma once
// google_chrome_page.h: CGoogleChromePage, the browser offer page: "Include"
// decides the browser product's selection, "default browser" its switch.
#include <windows.h>

#include "wizard/offer_page.h"

class CGoogleChromePage : public COfferPage {
 public:
  CGoogleChromePage();

  bool IsPageSkipped() override;
  // False once the user has declined the browser on this page.
  bool IsChromeChosen() const { return m_chromeChosen; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code) override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;

 private:
  void RecordChoice();

  bool m_chromeChosen = true;
};
