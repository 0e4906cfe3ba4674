#pragma once
// progress_page.h: CProgressPage, the page that hands over to the worker
// and follows the installation.
#include "wizard/text_page.h"

class CProgressPage : public CTextPage {
 public:
  CProgressPage();

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
};
