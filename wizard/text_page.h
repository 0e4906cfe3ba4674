#pragma once
// text_page.h: CTextPage, a page that shows its template's texts with the
// wizard's tokens replaced: its title in the title font, the others in the
// text font. The pages that do no more than that derive from it.
#include <windows.h>

#include <initializer_list>
#include <vector>

#include "wizard/wiz_prop_page.h"

class CTextPage : public CWizPropPage {
 public:
  CTextPage(UINT templateId, int titleId, std::initializer_list<int> textIds);

 protected:
  BOOL OnInitDialog() override;

  int m_titleId;
  std::vector<int> m_textIds;
};
