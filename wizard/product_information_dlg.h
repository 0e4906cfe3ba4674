#pragma once
// product_information_dlg.h: CProductInformationDlg, the suite's product
// information page: its text comes from the XML file that the setup
// property ProductInformation names.
#include <string>

#include "wizard/text_page.h"

class CSetupSheet;

class CProductInformationDlg : public CTextPage {
 public:
  CProductInformationDlg();

  // Whether the named file exists; the name is resolved the first time.
  bool HasContent(const CSetupSheet& sheet);
  const std::wstring& GetContentFile() const { return m_contentFile; }

 protected:
  BOOL OnInitDialog() override;

 private:
  std::wstring m_contentFile;
  bool m_contentResolved = false;
};
